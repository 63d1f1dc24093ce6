#pragma once
// The seven tool kinds, on their own so that tables above the engine can name
// a kind without the tool classes.

namespace knetix {

enum class ToolKind { ZoomIn, ZoomOut, Zoom, Move, Undo, Smooth, Whirl };

} // namespace knetix
