#pragma once
// The movie file types the save dialog offers, in its order: the German
// entry, the pattern that completes a typed name, and the kind of movie
// written for it.

#include "files/movie/MovieWriter.h"

#include <span>
#include <string>
#include <string_view>

namespace knetix {

struct MovieFileType {
    MovieKind kind;
    std::string_view entry;   // "MP4-Video (H.264) (*.MP4)"
    std::string_view pattern; // "*.MP4"
};

std::span<const MovieFileType> movieFileTypes();
// The entry of a kind.
const MovieFileType& movieFileType(MovieKind kind);
// "AVI-Video (*.AVI)|*.AVI|MP4-Video (H.264) (*.MP4)|*.MP4|..." for the save
// dialog: the kinds this machine can write, AVI first.
std::string movieSaveFilter();

} // namespace knetix
