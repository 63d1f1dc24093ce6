#pragma once
// The tool display frames: a picture of straight lines bent by the real tools.

#include <QImage>

namespace knetix::art {

// Frame of a tool display set (skin::kToolDisplaySets) at a size level (0..2)
// and frame (0..4), drawn with that set's tool (skin::kToolDisplayKinds) at a
// factor (1..4). 8-bit.
QImage toolDisplayFrame(int set, int level, int frame, int factor);

// A picture warped by the engine around its centre, for the splash; at the
// picture's own device pixel ratio.
QImage warpedPicture(const QImage& picture);

} // namespace knetix::art
