#pragma once

#include <QIcon>

namespace controls {

// The small pictures of the tool buttons, drawn rather than loaded.
enum class Glyph { Help, Find, Filter, Companies, User, Reload, History };
QIcon glyph(Glyph which);

} // namespace controls
