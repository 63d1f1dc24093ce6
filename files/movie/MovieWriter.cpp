#include "files/movie/MovieWriter.h"

#include "files/io/AtomicFile.h"
#include "files/movie/GifPalette.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <cctype>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <unistd.h>

namespace knetix {

namespace {

struct CodecEntry {
    const char* id;
    const char* displayName;
    AVCodecID codecId;
    const char* encoderName; // a preferred encoder, or null for the default one
    bool lossless;
    bool keyFrameRate;
    bool dataRate;
};

constexpr CodecEntry kCodecs[] = {
    {"mjpeg", "Motion JPEG", AV_CODEC_ID_MJPEG, nullptr, false, false, true},
    {"mpeg4", "MPEG-4", AV_CODEC_ID_MPEG4, nullptr, false, true, true},
    {"ffv1", "FFV1 (verlustfrei)", AV_CODEC_ID_FFV1, nullptr, true, false, false},
    {"h264", "H.264", AV_CODEC_ID_H264, "libx264", false, true, true},
};

constexpr const char* kRawId = "raw";
constexpr const char* kRawName = "Volle Einzelbilder (unkomprimiert)";
// Tells the AVI writer that the rows come bottom-up, as the frame buffer
// holds them, so that it keeps the header's height positive.
constexpr char kBottomUp[] = "BottomUp"; // with its terminating zero: 9 bytes

void quietLibraries()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_ERROR); });
}

const AVCodec* encoderFor(const CodecEntry& entry)
{
    if (entry.encoderName)
        return avcodec_find_encoder_by_name(entry.encoderName);
    return avcodec_find_encoder(entry.codecId);
}

const CodecEntry* entryFor(const std::string& id)
{
    for (const auto& entry : kCodecs)
        if (id == entry.id)
            return &entry;
    return nullptr;
}

// MP4: constant quality 18, where H.264 is indistinguishable from the frames
// for the eye, unless the user set a data rate.
constexpr const char* kH264Quality = "18";
// WebM: VP9's constant quality 24 on its 0..63 scale. The usual web settings
// (31 to 33) are made for streaming and fall below the MP4; at 24 VP9 keeps
// what H.264 keeps at 18 on photograph-like frames (as close to the frames,
// measured in dB) in two thirds to three quarters of the bytes.
constexpr const char* kVp9Quality = "24";

// x264's presets by frame size. They trade speed for bytes, not quality: the
// quality is the constant 18 either way. "veryfast" makes files about half
// the size of "ultrafast" and takes a few milliseconds a working-size frame;
// a 12-megapixel frame costs it about 230 ms of processor time against 60
// for "ultrafast", and beside the 45 ms of its own-size render only
// "ultrafast" keeps such an export above 4 frames a second on two cores.
const char* x264PresetFor(int64_t pixels)
{
    if (pixels <= 2'100'000) // up to 1920 x 1080
        return "veryfast";
    return "ultrafast";
}

struct KindEntry {
    MovieKind kind;
    const char* extension;
    const char* muxer;
    const char* encoder;    // null: the settings choose (AVI)
    const char* compressor; // MovieCodec::id of the encoder
};

constexpr KindEntry kKinds[] = {
    {MovieKind::Avi, ".avi", "avi", nullptr, nullptr},
    {MovieKind::Mp4, ".mp4", "mp4", "libx264", "h264"},
    {MovieKind::WebM, ".webm", "webm", "libvpx-vp9", "vp9"},
    {MovieKind::Gif, ".gif", "gif", "gif", "gif"},
};

const KindEntry& kindEntry(MovieKind kind)
{
    for (const auto& entry : kKinds)
        if (entry.kind == kind)
            return entry;
    return kKinds[0];
}

bool endsWithNoCase(std::string_view text, std::string_view end)
{
    if (text.size() < end.size())
        return false;
    for (size_t i = 0; i < end.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[text.size() - end.size() + i])) != end[i])
            return false;
    return true;
}

} // namespace

MovieKind movieKindOfPath(std::string_view path)
{
    for (const auto& entry : kKinds)
        if (endsWithNoCase(path, entry.extension))
            return entry.kind;
    return MovieKind::Avi;
}

bool movieKindOffersCodecChoice(MovieKind kind)
{
    return kind == MovieKind::Avi;
}

bool movieKindAvailable(MovieKind kind)
{
    quietLibraries();
    const KindEntry& entry = kindEntry(kind);
    return av_guess_format(entry.muxer, nullptr, nullptr) &&
           (!entry.encoder || avcodec_find_encoder_by_name(entry.encoder));
}

std::string_view movieKindExtension(MovieKind kind)
{
    return kindEntry(kind).extension;
}

std::string movieCompressorOf(MovieKind kind, const MovieSettings& settings)
{
    const KindEntry& entry = kindEntry(kind);
    return entry.compressor ? entry.compressor : settings.codec;
}

std::string movieLibraryName()
{
    // "5.1.6-0+deb12u1": the distribution's suffix says nothing to a user.
    std::string version = av_version_info();
    return "FFmpeg " + version.substr(0, version.find('-'));
}

std::vector<MovieCodec> availableMovieCodecs()
{
    quietLibraries();
    std::vector<MovieCodec> out;
    out.push_back({kRawId, kRawName, false, true, false, false});
    for (const auto& entry : kCodecs)
        if (encoderFor(entry))
            out.push_back({entry.id, entry.displayName, true, entry.lossless, entry.keyFrameRate, entry.dataRate});
    return out;
}

std::optional<MovieCodec> findMovieCodec(const std::string& id)
{
    for (auto& codec : availableMovieCodecs())
        if (codec.id == id)
            return codec;
    return std::nullopt;
}

struct MovieWriter::State {
    MovieKind kind = MovieKind::Avi;
    std::string target;
    std::string temp;
    int32_t width = 0;
    int32_t height = 0;
    AVFormatContext* format = nullptr;
    AVStream* stream = nullptr;
    AVCodecContext* encoder = nullptr;
    SwsContext* scaler = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    int64_t frames = 0;
    bool headerWritten = false;
    // 4:2:0 takes its colour from pairs of columns: a picture of odd width is
    // converted one column wider, the last one repeated, so that the last
    // colour sample is the picture's own (the conversion would otherwise pair
    // the last column with what lies beyond the row). Rows need no such care,
    // but MP4 stores an even height: there the last row is repeated too.
    // Empty when the picture is converted as it is.
    std::vector<uint8_t> padded; // top-down rows of blue, green, red
    int32_t convertedWidth = 0;
    int32_t convertedHeight = 0;
    // GIF: the frames as they came (top-down rows of blue, green, red) and
    // the colours counted so far.
    std::FILE* spool = nullptr;
    std::unique_ptr<ColourHistogram> colours;

    ~State()
    {
        if (spool)
            std::fclose(spool);
        sws_freeContext(scaler);
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&encoder);
        if (format) {
            if (format->pb)
                avio_closep(&format->pb);
            avformat_free_context(format);
        }
    }

    // Writes every packet the encoder has ready.
    bool drain()
    {
        for (;;) {
            const int r = avcodec_receive_packet(encoder, packet);
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
                return true;
            if (r < 0)
                return false;
            int w = 0;
            if (kind == MovieKind::Avi) {
                av_packet_rescale_ts(packet, encoder->time_base, stream->time_base);
                packet->stream_index = stream->index;
                w = av_write_frame(format, packet);
            } else {
                // Every frame shows for 1/15 s, the last one too.
                if (packet->duration <= 0)
                    packet->duration = 1;
                av_packet_rescale_ts(packet, encoder->time_base, stream->time_base);
                packet->stream_index = stream->index;
                w = av_interleaved_write_frame(format, packet);
            }
            av_packet_unref(packet);
            if (w < 0)
                return false;
        }
    }

    bool prepareConversion(int swsFlags);
    void convert(const Bitmap24View& view);
    AVCodecContext* makeEncoder(const AVCodec* codec, int32_t codedWidth, int32_t codedHeight);
    MovieStatus openAvi(const MovieSettings& settings);
    MovieStatus openEncoded(const MovieSettings& settings);
    MovieStatus openGif();
    MovieStatus startFile(AVDictionary** options);
    bool writeGif();
};

namespace {

// The frame's sizes, rounded up to even: 4:2:0 needs whole chroma samples.
int32_t even(int32_t n)
{
    return n + (n & 1);
}

} // namespace

MovieWriter::MovieWriter() = default;

MovieWriter::~MovieWriter()
{
    abandon();
}

int32_t MovieWriter::framesWritten() const
{
    return m_state ? int32_t(m_state->frames) : 0;
}

MovieStatus MovieWriter::open(const std::string& path, int32_t width, int32_t height,
                              const MovieSettings& settings)
{
    abandon();
    quietLibraries();
    if (width <= 0 || height <= 0)
        return MovieStatus::Unsupported;
    const MovieKind kind = movieKindOfPath(path);
    if (kind == MovieKind::Avi) {
        // Checked before anything is created, as always.
        const bool raw = settings.codec == kRawId;
        const CodecEntry* entry = raw ? nullptr : entryFor(settings.codec);
        if (!raw && !(entry && encoderFor(*entry)))
            return MovieStatus::Unsupported;
    } else if (!movieKindAvailable(kind)) {
        return MovieStatus::Unsupported;
    }
    if (kind == MovieKind::Gif && (width > 65535 || height > 65535))
        return MovieStatus::Unsupported; // GIF keeps sizes in 16 bits

    auto s = std::make_unique<State>();
    s->kind = kind;
    s->target = path;
    s->width = width;
    s->height = height;
    s->convertedWidth = width;
    s->convertedHeight = height;
    if (makeTemporaryBeside(path, s->temp) != 0)
        return MovieStatus::FileError;
    m_state = std::move(s);
    State& st = *m_state;

    if (avformat_alloc_output_context2(&st.format, nullptr, kindEntry(kind).muxer, st.temp.c_str()) < 0 ||
        !st.format || !(st.stream = avformat_new_stream(st.format, nullptr)) || !(st.packet = av_packet_alloc())) {
        abandon();
        return MovieStatus::Unsupported;
    }
    st.stream->time_base = AVRational{1, kMovieFramesPerSecond};
    st.stream->avg_frame_rate = AVRational{kMovieFramesPerSecond, 1};

    MovieStatus status = MovieStatus::Ok;
    switch (kind) {
    case MovieKind::Avi: status = st.openAvi(settings); break;
    case MovieKind::Mp4:
    case MovieKind::WebM: status = st.openEncoded(settings); break;
    case MovieKind::Gif: status = st.openGif(); break;
    }
    if (status != MovieStatus::Ok)
        abandon();
    return status;
}

// The encoder (owned by the state) for frames of the given size at the
// movie's rate; null if the codec is missing or the memory cannot be had.
AVCodecContext* MovieWriter::State::makeEncoder(const AVCodec* codec, int32_t codedWidth, int32_t codedHeight)
{
    AVCodecContext* enc = encoder = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (!enc)
        return nullptr;
    enc->width = codedWidth;
    enc->height = codedHeight;
    enc->time_base = AVRational{1, kMovieFramesPerSecond};
    enc->framerate = AVRational{kMovieFramesPerSecond, 1};
    return enc;
}

MovieStatus MovieWriter::State::openAvi(const MovieSettings& settings)
{
    const bool raw = settings.codec == kRawId;
    const CodecEntry* entry = raw ? nullptr : entryFor(settings.codec);
    const AVCodec* codec = entry ? encoderFor(*entry) : nullptr;

    if (raw) {
        AVCodecParameters* par = stream->codecpar;
        par->codec_type = AVMEDIA_TYPE_VIDEO;
        par->codec_id = AV_CODEC_ID_RAWVIDEO;
        par->codec_tag = 0; // BI_RGB
        par->format = AV_PIX_FMT_BGR24;
        par->width = width;
        par->height = height;
        par->bits_per_coded_sample = 24;
        par->extradata = static_cast<uint8_t*>(av_mallocz(sizeof kBottomUp + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!par->extradata)
            return MovieStatus::Unsupported;
        std::memcpy(par->extradata, kBottomUp, sizeof kBottomUp);
        par->extradata_size = int(sizeof kBottomUp);
    } else {
        AVCodecContext* enc = makeEncoder(codec, width, height);
        if (!enc)
            return MovieStatus::Unsupported;
        enc->max_b_frames = 0; // AVI keeps no timestamps to reorder by
        switch (entry->codecId) {
        case AV_CODEC_ID_MJPEG:
            enc->pix_fmt = AV_PIX_FMT_YUVJ420P;
            break;
        case AV_CODEC_ID_FFV1:
            enc->pix_fmt = AV_PIX_FMT_BGR0; // lossless for our rows
            break;
        case AV_CODEC_ID_H264:
            // 4:2:0 needs even sizes; odd working pictures keep full chroma.
            enc->pix_fmt = (width % 2 == 0 && height % 2 == 0) ? AV_PIX_FMT_YUV420P : AV_PIX_FMT_YUV444P;
            av_opt_set(enc->priv_data, "preset", "veryfast", 0);
            if (settings.dataRate <= 0)
                av_opt_set(enc->priv_data, "crf", "18", 0);
            break;
        default:
            enc->pix_fmt = AV_PIX_FMT_YUV420P;
            break;
        }
        if (entry->keyFrameRate)
            enc->gop_size = settings.keyFrameRate > 0 ? settings.keyFrameRate : kMovieFramesPerSecond;
        if (entry->dataRate && settings.dataRate > 0) {
            enc->bit_rate = int64_t(settings.dataRate) * 8000;
        } else if (entry->codecId == AV_CODEC_ID_MJPEG || entry->codecId == AV_CODEC_ID_MPEG4) {
            // Without a data rate: a fixed, high quality.
            enc->flags |= AV_CODEC_FLAG_QSCALE;
            enc->global_quality = FF_QP2LAMBDA * 3;
        }
        if (format->oformat->flags & AVFMT_GLOBALHEADER)
            enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (avcodec_open2(enc, codec, nullptr) < 0 || avcodec_parameters_from_context(stream->codecpar, enc) < 0 ||
            !prepareConversion(SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT))
            return MovieStatus::Unsupported;
    }
    return startFile(nullptr);
}

// The frame the encoder is given and the conversion into it, for the
// encoder's pixel format.
bool MovieWriter::State::prepareConversion(int swsFlags)
{
    const AVPixFmtDescriptor* format = av_pix_fmt_desc_get(encoder->pix_fmt);
    if (!format)
        return false;
    convertedWidth = format->log2_chroma_w > 0 ? even(width) : width;
    convertedHeight = encoder->height;
    try {
        if (convertedWidth != width || convertedHeight != height)
            padded.resize(size_t(convertedWidth) * 3 * size_t(convertedHeight));
    } catch (const std::bad_alloc&) {
        return false;
    }
    frame = av_frame_alloc();
    scaler = sws_getContext(convertedWidth, convertedHeight, AV_PIX_FMT_BGR24, convertedWidth, convertedHeight,
                            encoder->pix_fmt, swsFlags, nullptr, nullptr, nullptr);
    if (!frame || !scaler)
        return false;
    frame->format = encoder->pix_fmt;
    frame->width = convertedWidth;
    frame->height = convertedHeight;
    return av_frame_get_buffer(frame, 0) >= 0;
}

void MovieWriter::State::convert(const Bitmap24View& view)
{
    if (padded.empty()) {
        // Read the bottom-up rows from the top with a negative stride.
        const uint8_t* sources[1] = {view.storedRow(view.height - 1)};
        const int strides[1] = {-view.stride};
        sws_scale(scaler, sources, strides, 0, view.height, frame->data, frame->linesize);
        return;
    }
    const size_t rowBytes = size_t(convertedWidth) * 3, pictureRow = size_t(width) * 3;
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* row = padded.data() + size_t(y) * rowBytes;
        std::memcpy(row, view.storedRow(height - 1 - y), pictureRow);
        if (convertedWidth > width)
            std::memcpy(row + pictureRow, row + pictureRow - 3, 3);
    }
    if (convertedHeight > height)
        std::memcpy(padded.data() + size_t(height) * rowBytes, padded.data() + size_t(height - 1) * rowBytes,
                    rowBytes);
    const uint8_t* sources[1] = {padded.data()};
    const int strides[1] = {int(rowBytes)};
    sws_scale(scaler, sources, strides, 0, convertedHeight, frame->data, frame->linesize);
}

MovieStatus MovieWriter::State::openEncoded(const MovieSettings& settings)
{
    const AVCodec* codec = avcodec_find_encoder_by_name(kindEntry(kind).encoder);
    const bool mp4 = kind == MovieKind::Mp4;
    // VP9 takes odd sizes; H.264 in 4:2:0 does not.
    AVCodecContext* enc = makeEncoder(codec, mp4 ? even(width) : width, mp4 ? even(height) : height);
    if (!enc)
        return MovieStatus::Unsupported;
    enc->pix_fmt = AV_PIX_FMT_YUV420P;
    // Said in the stream, so that browsers and players convert back alike.
    enc->color_range = AVCOL_RANGE_MPEG;
    enc->colorspace = AVCOL_SPC_BT709;
    enc->color_primaries = AVCOL_PRI_BT709;
    enc->color_trc = AVCOL_TRC_BT709;
    if (mp4) {
        av_opt_set(enc->priv_data, "preset", x264PresetFor(int64_t(enc->width) * enc->height), 0);
        if (settings.dataRate > 0)
            enc->bit_rate = int64_t(settings.dataRate) * 8000;
        else
            av_opt_set(enc->priv_data, "crf", kH264Quality, 0);
    } else {
        // Constant quality: VP9 needs no data rate for it.
        enc->bit_rate = 0;
        av_opt_set(enc->priv_data, "crf", kVp9Quality, 0);
        av_opt_set(enc->priv_data, "deadline", "good", 0);
        av_opt_set(enc->priv_data, "cpu-used", "4", 0);
        av_opt_set(enc->priv_data, "row-mt", "1", 0);
    }
    if (format->oformat->flags & AVFMT_GLOBALHEADER)
        enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(enc, codec, nullptr) < 0 || avcodec_parameters_from_context(stream->codecpar, enc) < 0)
        return MovieStatus::Unsupported;
    if (!prepareConversion(SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT))
        return MovieStatus::Unsupported;
    // Full-range RGB to studio-range BT.709, as the stream says.
    const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
    sws_setColorspaceDetails(scaler, bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);
    frame->color_range = enc->color_range;
    frame->colorspace = enc->colorspace;
    frame->color_primaries = enc->color_primaries;
    frame->color_trc = enc->color_trc;

    AVDictionary* options = nullptr;
    if (mp4)
        av_dict_set(&options, "movflags", "+faststart", 0); // the index first: plays while loading
    const MovieStatus status = startFile(&options);
    av_dict_free(&options);
    return status;
}

MovieStatus MovieWriter::State::openGif()
{
    const AVCodec* codec = avcodec_find_encoder_by_name("gif");
    AVCodecContext* enc = makeEncoder(codec, width, height);
    if (!enc)
        return MovieStatus::Unsupported;
    enc->pix_fmt = AV_PIX_FMT_PAL8;
    if (avcodec_open2(enc, codec, nullptr) < 0 || avcodec_parameters_from_context(stream->codecpar, enc) < 0)
        return MovieStatus::Unsupported;
    frame = av_frame_alloc();
    if (!frame)
        return MovieStatus::Unsupported;
    frame->format = AV_PIX_FMT_PAL8;
    frame->width = width;
    frame->height = height;
    if (av_frame_get_buffer(frame, 0) < 0)
        return MovieStatus::Unsupported;
    try {
        colours = std::make_unique<ColourHistogram>();
    } catch (const std::bad_alloc&) {
        return MovieStatus::Unsupported;
    }
    const int fd = openScratchBeside(target);
    if (fd < 0 || !(spool = ::fdopen(fd, "w+b"))) {
        if (fd >= 0)
            ::close(fd);
        return MovieStatus::FileError;
    }
    AVDictionary* options = nullptr;
    av_dict_set(&options, "loop", "0", 0); // forever
    const MovieStatus status = startFile(&options);
    av_dict_free(&options);
    return status;
}

MovieStatus MovieWriter::State::startFile(AVDictionary** options)
{
    if (avio_open(&format->pb, temp.c_str(), AVIO_FLAG_WRITE) < 0 || avformat_write_header(format, options) < 0)
        return MovieStatus::FileError;
    headerWritten = true;
    return MovieStatus::Ok;
}

MovieStatus MovieWriter::writeFrame(const Bitmap24View& view)
{
    if (!m_state || !m_state->headerWritten)
        return MovieStatus::FileError;
    State& st = *m_state;
    if (view.width != st.width || view.height != st.height || !view.valid())
        return MovieStatus::Unsupported;

    if (st.kind == MovieKind::Gif) {
        // Kept top-down until finish(), when the palette of all frames is known.
        const size_t rowBytes = size_t(view.width) * 3;
        for (int32_t y = 0; y < view.height; ++y) {
            const uint8_t* row = view.storedRow(view.height - 1 - y);
            st.colours->addRow(row, view.width);
            if (std::fwrite(row, 1, rowBytes, st.spool) != rowBytes)
                return MovieStatus::FileError;
        }
        ++st.frames;
        return MovieStatus::Ok;
    }

    if (!st.encoder) {
        // The rows as the buffer holds them: bottom-up, padded to 4 bytes.
        const int size = view.stride * view.height;
        if (av_new_packet(st.packet, size) < 0)
            return MovieStatus::FileError;
        std::memcpy(st.packet->data, view.bits, size_t(size));
        st.packet->pts = st.packet->dts = st.frames;
        st.packet->duration = 1;
        st.packet->stream_index = st.stream->index;
        // No key-frame flag, as for uncompressed frames from the system's own
        // writer; players treat every uncompressed frame as one anyway.
        const int w = av_write_frame(st.format, st.packet);
        av_packet_unref(st.packet);
        if (w < 0)
            return MovieStatus::FileError;
        ++st.frames;
        return MovieStatus::Ok;
    }

    if (av_frame_make_writable(st.frame) < 0)
        return MovieStatus::FileError;
    st.convert(view);
    // The encoder takes its own size from the converted frame: MP4 all of
    // it, the others the picture's size.
    st.frame->width = st.encoder->width;
    st.frame->height = st.encoder->height;
    st.frame->pts = st.frames;
    const bool sent = avcodec_send_frame(st.encoder, st.frame) >= 0;
    st.frame->width = st.convertedWidth;
    st.frame->height = st.convertedHeight;
    if (!sent || !st.drain())
        return MovieStatus::FileError;
    ++st.frames;
    return MovieStatus::Ok;
}

bool MovieWriter::State::writeGif()
{
    if (std::fflush(spool) != 0 || std::fseek(spool, 0, SEEK_SET) != 0)
        return false;
    const std::vector<PaletteColour> palette = colours->makePalette(256);
    colours.reset(); // its 8 MiB are not needed any more
    PaletteMapper mapper(palette);
    FrameDitherer ditherer(width);
    std::vector<uint8_t> row(size_t(width) * 3);
    for (int64_t k = 0; k < frames; ++k) {
        if (av_frame_make_writable(frame) < 0)
            return false;
        auto* argb = reinterpret_cast<uint32_t*>(frame->data[1]);
        for (size_t i = 0; i < 256; ++i) {
            const PaletteColour c = i < palette.size() ? palette[i] : PaletteColour{};
            argb[i] = 0xFF000000u | uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b; // opaque
        }
        ditherer.startFrame();
        for (int32_t y = 0; y < height; ++y) {
            if (std::fread(row.data(), 1, row.size(), spool) != row.size())
                return false;
            ditherer.ditherRow(row.data(), mapper, frame->data[0] + size_t(y) * size_t(frame->linesize[0]));
        }
        frame->pts = k;
        if (avcodec_send_frame(encoder, frame) < 0 || !drain())
            return false;
    }
    // GIF delays are whole centiseconds: the muxer gives each frame the
    // difference of the rounded times (7, 6, 7, 7, 6, 7 ...); the last one
    // gets what makes the loop exactly frames / 15 s long.
    const auto centiseconds = [](int64_t frame) { return (frame * 100 + kMovieFramesPerSecond / 2) / kMovieFramesPerSecond; };
    const int64_t lastDelay = centiseconds(frames) - centiseconds(frames - 1);
    return av_opt_set_int(format->priv_data, "final_delay", lastDelay, 0) >= 0;
}

MovieStatus MovieWriter::finish()
{
    if (!m_state || !m_state->headerWritten)
        return MovieStatus::FileError;
    State& st = *m_state;
    bool ok = true;
    if (st.kind == MovieKind::Gif) {
        if (st.frames == 0) { // a GIF file holds at least one picture
            abandon();
            return MovieStatus::Unsupported;
        }
        try {
            ok = st.writeGif();
        } catch (const std::bad_alloc&) {
            ok = false;
        }
    }
    if (st.encoder)
        ok = ok && avcodec_send_frame(st.encoder, nullptr) >= 0 && st.drain();
    ok = ok && av_write_trailer(st.format) >= 0;
    if (st.format->pb) {
        ok = ok && st.format->pb->error == 0;
        ok = avio_closep(&st.format->pb) >= 0 && ok;
    }
    const std::string temp = st.temp, target = st.target;
    m_state.reset();
    if (!ok) {
        ::unlink(temp.c_str());
        return MovieStatus::FileError;
    }
    return commitTemporary(temp, target) == 0 ? MovieStatus::Ok : MovieStatus::FileError;
}

void MovieWriter::abandon()
{
    if (!m_state)
        return;
    const std::string temp = m_state->temp;
    m_state.reset();
    if (!temp.empty())
        ::unlink(temp.c_str());
}

} // namespace knetix
