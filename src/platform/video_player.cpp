#include "platform/video_player.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace cs {

struct VideoPlayer::Impl {
  AVFormatContext* fmt = nullptr;
  AVCodecContext* dec = nullptr;
  AVFrame* frame = nullptr;    // the last frame decoded whole: what is shown
  AVFrame* scratch = nullptr;  // receives; an unsuccessful receive empties it, not `frame`
  AVPacket* pkt = nullptr;
  SwsContext* sws = nullptr;
  int stream = -1;
  int width = 0, height = 0;
  bool eof = false;
  bool have_frame = false;

  ~Impl() {
    sws_freeContext(sws);
    av_packet_free(&pkt);
    av_frame_free(&frame);
    av_frame_free(&scratch);
    avcodec_free_context(&dec);
    avformat_close_input(&fmt);
  }
};

VideoPlayer::VideoPlayer() = default;
VideoPlayer::~VideoPlayer() = default;

bool VideoPlayer::Open() {
  Close();
  auto im = std::make_unique<Impl>();
  if (avformat_open_input(&im->fmt, file_.c_str(), nullptr, nullptr) < 0) return false;
  if (avformat_find_stream_info(im->fmt, nullptr) < 0) return false;
  const AVCodec* codec = nullptr;
  im->stream = av_find_best_stream(im->fmt, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
  if (im->stream < 0 || !codec) return false;
  // Only the video stream is read; audio packets are dropped unread.
  for (unsigned i = 0; i < im->fmt->nb_streams; ++i) {
    if (static_cast<int>(i) != im->stream) im->fmt->streams[i]->discard = AVDISCARD_ALL;
  }
  AVStream* st = im->fmt->streams[im->stream];
  im->dec = avcodec_alloc_context3(codec);
  if (!im->dec || avcodec_parameters_to_context(im->dec, st->codecpar) < 0) return false;
  im->dec->thread_count = 1;  // a 24/7 cabinet: one core for the preview at most
  if (avcodec_open2(im->dec, codec, nullptr) < 0) return false;
  if (im->dec->width <= 0 || im->dec->height <= 0 || im->dec->width > 4096 ||
      im->dec->height > 4096) {
    return false;
  }
  im->width = im->dec->width;
  im->height = im->dec->height;
  im->frame = av_frame_alloc();
  im->scratch = av_frame_alloc();
  im->pkt = av_packet_alloc();
  if (!im->frame || !im->scratch || !im->pkt) return false;

  std::int64_t len = st->nb_frames;
  if (len <= 0 && st->duration > 0 && st->avg_frame_rate.num > 0) {
    len = av_rescale_q(st->duration, st->time_base, av_inv_q(st->avg_frame_rate));
  }
  if (len <= 0 && im->fmt->duration > 0 && st->avg_frame_rate.num > 0) {
    len = av_rescale_q(im->fmt->duration, AV_TIME_BASE_Q, av_inv_q(st->avg_frame_rate));
  }
  impl_ = std::move(im);
  length_ = len > 0 ? len : 0;
  position_ = 0;
  decoded_ = 0;
  stopped_ = true;
  if (display_.isEmpty()) display_ = ProposedRect();
  // Show the first frame, as a just-opened player does.
  if (!DecodeOne(true)) {
    Close();
    return false;
  }
  return true;
}

void VideoPlayer::Close() {
  impl_.reset();
  frame_ = QImage();
  position_ = length_ = 0;
  stopped_ = true;
}

void VideoPlayer::Stop() { stopped_ = true; }

VideoPlayer::Mode VideoPlayer::GetMode() const {
  if (!impl_) return Mode::kNotReady;
  return stopped_ ? Mode::kStopped : Mode::kPaused;
}

QRect VideoPlayer::ProposedRect() const {
  if (!impl_) return {};
  return QRect(0, 0, impl_->width, impl_->height);
}

void VideoPlayer::SetDisplayRect(const QRect& r) {
  if (r == display_) return;
  display_ = r;
  if (impl_) {
    sws_freeContext(impl_->sws);
    impl_->sws = nullptr;
    if (impl_->have_frame) Convert();
  }
}

bool VideoPlayer::DecodeOne(bool keep) {
  Impl& im = *impl_;
  for (;;) {
    const int r = avcodec_receive_frame(im.dec, im.scratch);
    if (r == 0) {
      av_frame_unref(im.frame);
      av_frame_move_ref(im.frame, im.scratch);
      ++decoded_;
      im.have_frame = true;
      if (keep) Convert();
      return true;
    }
    if (r == AVERROR_EOF) return false;
    if (r != AVERROR(EAGAIN)) return false;
    if (im.eof) return false;
    const int rr = av_read_frame(im.fmt, im.pkt);
    if (rr < 0) {
      im.eof = true;
      avcodec_send_packet(im.dec, nullptr);  // drain the decoder's delayed frames
      continue;
    }
    if (im.pkt->stream_index == im.stream) {
      const int s = avcodec_send_packet(im.dec, im.pkt);
      av_packet_unref(im.pkt);
      if (s < 0 && s != AVERROR(EAGAIN)) return false;
    } else {
      av_packet_unref(im.pkt);
    }
  }
}

void VideoPlayer::Convert() {
  Impl& im = *impl_;
  const int w = display_.width() > 0 ? display_.width() : im.width;
  const int h = display_.height() > 0 ? display_.height() : im.height;
  AVPixelFormat src = static_cast<AVPixelFormat>(im.frame->format);
  bool fullRange = false;
  // swscale rebuilds its context on every call for the deprecated full-range formats: map them
  // to their plain twins and set the range once.
  switch (src) {
    case AV_PIX_FMT_YUVJ420P:
      src = AV_PIX_FMT_YUV420P;
      fullRange = true;
      break;
    case AV_PIX_FMT_YUVJ422P:
      src = AV_PIX_FMT_YUV422P;
      fullRange = true;
      break;
    case AV_PIX_FMT_YUVJ444P:
      src = AV_PIX_FMT_YUV444P;
      fullRange = true;
      break;
    default:
      break;
  }
  // Fast bilinear is plenty for a 330 x 256 preview. Sources with full-resolution chroma need
  // SWS_FULL_CHR_H_INT, or swscale rebuilds its cached context at every call.
  const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(src);
  const bool subsampled = desc && desc->log2_chroma_w > 0;
  im.sws = sws_getCachedContext(
      im.sws, im.frame->width, im.frame->height, src, w, h, AV_PIX_FMT_BGRA,
      SWS_FAST_BILINEAR | (subsampled ? 0 : SWS_FULL_CHR_H_INT), nullptr, nullptr, nullptr);
  if (!im.sws) return;
  if (fullRange) {
    const int* coeffs = sws_getCoefficients(SWS_CS_DEFAULT);
    sws_setColorspaceDetails(im.sws, coeffs, 1, coeffs, 0, 0, 1 << 16, 1 << 16);
  }
  // swscale's vector code writes up to a few dozen bytes past the end of a row: it scales into a
  // padded picture (width rounded up to 64 pixels, one spare row) and the frame is cut from it.
  const int padded = (w + 63) / 64 * 64;
  if (scaled_.width() != padded || scaled_.height() != h + 1) {
    scaled_ = QImage(padded, h + 1, QImage::Format_RGB32);
  }
  uint8_t* dst[1] = {scaled_.bits()};
  int dstStride[1] = {static_cast<int>(scaled_.bytesPerLine())};
  sws_scale(im.sws, im.frame->data, im.frame->linesize, 0, im.frame->height, dst, dstStride);
  frame_ = scaled_.copy(0, 0, w, h);
}

bool VideoPlayer::Rewind() {
  if (!impl_) return false;
  Impl& im = *impl_;
  if (av_seek_frame(im.fmt, im.stream, 0, AVSEEK_FLAG_BACKWARD) < 0) return false;
  avcodec_flush_buffers(im.dec);
  im.eof = false;
  position_ = 0;
  return DecodeOne(true);
}

bool VideoPlayer::Step(int frames) {
  if (!impl_ || frames <= 0) return false;
  bool any = false;
  for (int i = 0; i < frames; ++i) {
    if (length_ > 0 && position_ >= length_ - 1) break;
    if (!DecodeOne(false)) break;
    ++position_;
    any = true;
  }
  // The last decoded frame is the one shown, even when the end came first.
  if (any) Convert();
  return any;
}

}  // namespace cs
