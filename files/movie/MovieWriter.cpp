#include "files/movie/MovieWriter.h"

#include "files/io/AtomicFile.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

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

} // namespace

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

    ~State()
    {
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
            av_packet_rescale_ts(packet, encoder->time_base, stream->time_base);
            packet->stream_index = stream->index;
            const int w = av_write_frame(format, packet);
            av_packet_unref(packet);
            if (w < 0)
                return false;
        }
    }
};

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
    const bool raw = settings.codec == kRawId;
    const CodecEntry* entry = raw ? nullptr : entryFor(settings.codec);
    const AVCodec* codec = entry ? encoderFor(*entry) : nullptr;
    if (!raw && !codec)
        return MovieStatus::Unsupported;

    auto s = std::make_unique<State>();
    s->target = path;
    s->width = width;
    s->height = height;
    if (makeTemporaryBeside(path, s->temp) != 0)
        return MovieStatus::FileError;
    m_state = std::move(s);
    State& st = *m_state;

    if (avformat_alloc_output_context2(&st.format, nullptr, "avi", st.temp.c_str()) < 0 || !st.format ||
        !(st.stream = avformat_new_stream(st.format, nullptr)) || !(st.packet = av_packet_alloc())) {
        abandon();
        return MovieStatus::Unsupported;
    }
    st.stream->time_base = AVRational{1, kMovieFramesPerSecond};
    st.stream->avg_frame_rate = AVRational{kMovieFramesPerSecond, 1};

    if (raw) {
        AVCodecParameters* par = st.stream->codecpar;
        par->codec_type = AVMEDIA_TYPE_VIDEO;
        par->codec_id = AV_CODEC_ID_RAWVIDEO;
        par->codec_tag = 0; // BI_RGB
        par->format = AV_PIX_FMT_BGR24;
        par->width = width;
        par->height = height;
        par->bits_per_coded_sample = 24;
        par->extradata = static_cast<uint8_t*>(av_mallocz(sizeof kBottomUp + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!par->extradata) {
            abandon();
            return MovieStatus::Unsupported;
        }
        std::memcpy(par->extradata, kBottomUp, sizeof kBottomUp);
        par->extradata_size = int(sizeof kBottomUp);
    } else {
        AVCodecContext* enc = st.encoder = avcodec_alloc_context3(codec);
        if (!enc) {
            abandon();
            return MovieStatus::Unsupported;
        }
        enc->width = width;
        enc->height = height;
        enc->time_base = AVRational{1, kMovieFramesPerSecond};
        enc->framerate = AVRational{kMovieFramesPerSecond, 1};
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
        if (st.format->oformat->flags & AVFMT_GLOBALHEADER)
            enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (avcodec_open2(enc, codec, nullptr) < 0 ||
            avcodec_parameters_from_context(st.stream->codecpar, enc) < 0) {
            abandon();
            return MovieStatus::Unsupported;
        }
        st.frame = av_frame_alloc();
        st.scaler = sws_getContext(width, height, AV_PIX_FMT_BGR24, width, height, enc->pix_fmt,
                                   SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr,
                                   nullptr);
        if (!st.frame || !st.scaler) {
            abandon();
            return MovieStatus::Unsupported;
        }
        st.frame->format = enc->pix_fmt;
        st.frame->width = width;
        st.frame->height = height;
        if (av_frame_get_buffer(st.frame, 0) < 0) {
            abandon();
            return MovieStatus::Unsupported;
        }
    }

    if (avio_open(&st.format->pb, st.temp.c_str(), AVIO_FLAG_WRITE) < 0 ||
        avformat_write_header(st.format, nullptr) < 0) {
        abandon();
        return MovieStatus::FileError;
    }
    st.headerWritten = true;
    return MovieStatus::Ok;
}

MovieStatus MovieWriter::writeFrame(const Bitmap24View& view)
{
    if (!m_state || !m_state->headerWritten)
        return MovieStatus::FileError;
    State& st = *m_state;
    if (view.width != st.width || view.height != st.height || !view.valid())
        return MovieStatus::Unsupported;

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
    // Read the bottom-up rows from the top with a negative stride.
    const uint8_t* top = view.storedRow(view.height - 1);
    const uint8_t* sources[1] = {top};
    const int strides[1] = {-view.stride};
    sws_scale(st.scaler, sources, strides, 0, view.height, st.frame->data, st.frame->linesize);
    st.frame->pts = st.frames;
    if (avcodec_send_frame(st.encoder, st.frame) < 0 || !st.drain())
        return MovieStatus::FileError;
    ++st.frames;
    return MovieStatus::Ok;
}

MovieStatus MovieWriter::finish()
{
    if (!m_state || !m_state->headerWritten)
        return MovieStatus::FileError;
    State& st = *m_state;
    bool ok = true;
    if (st.encoder)
        ok = avcodec_send_frame(st.encoder, nullptr) >= 0 && st.drain();
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
