#include "resources/MovieTypes.h"

namespace knetix {

namespace {

constexpr MovieFileType kTypes[] = {
    {MovieKind::Avi, "AVI-Video (*.AVI)", "*.AVI"},
    {MovieKind::Mp4, "MP4-Video (H.264) (*.MP4)", "*.MP4"},
    {MovieKind::WebM, "WebM-Video (VP9) (*.WEBM)", "*.WEBM"},
    {MovieKind::Gif, "Animiertes GIF (*.GIF)", "*.GIF"},
};

} // namespace

std::span<const MovieFileType> movieFileTypes()
{
    return kTypes;
}

const MovieFileType& movieFileType(MovieKind kind)
{
    for (const MovieFileType& type : kTypes)
        if (type.kind == kind)
            return type;
    return kTypes[0];
}

std::string movieSaveFilter()
{
    std::string filter;
    for (const MovieFileType& type : kTypes)
        if (type.kind == MovieKind::Avi || movieKindAvailable(type.kind))
            filter.append(type.entry).append("|").append(type.pattern).append("|");
    return filter;
}

} // namespace knetix
