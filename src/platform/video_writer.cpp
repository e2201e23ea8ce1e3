#include "platform/video_writer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace cs {

struct VideoWriter::Impl {
  AVFormatContext* fmt = nullptr;
  AVCodecContext* enc = nullptr;
  AVStream* st = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* pkt = nullptr;
  SwsContext* sws = nullptr;
  int w = 0, h = 0;
  std::int64_t pts = 0;
  bool ok = true;
  bool header = false;

  bool Drain(bool flush) {
    if (flush) avcodec_send_frame(enc, nullptr);
    for (;;) {
      const int r = avcodec_receive_packet(enc, pkt);
      if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
      if (r < 0) return false;
      av_packet_rescale_ts(pkt, enc->time_base, st->time_base);
      pkt->stream_index = st->index;
      if (av_interleaved_write_frame(fmt, pkt) < 0) return false;
    }
  }

  ~Impl() {
    sws_freeContext(sws);
    av_packet_free(&pkt);
    av_frame_free(&frame);
    avcodec_free_context(&enc);
    if (fmt) {
      if (fmt->pb) avio_closep(&fmt->pb);
      avformat_free_context(fmt);
    }
  }
};

VideoWriter::VideoWriter() = default;
VideoWriter::~VideoWriter() = default;

bool VideoWriter::Open(const std::filesystem::path& file, int w, int h, int fps,
                       std::string* error, Codec codec_id) {
  auto fail = [&](const char* what) {
    if (error) *error = std::string(what) + ": " + file.string();
    impl_.reset();
    return false;
  };
  impl_ = std::make_unique<Impl>();
  Impl& im = *impl_;
  im.w = w;
  im.h = h;
  if (avformat_alloc_output_context2(&im.fmt, nullptr, "avi", file.c_str()) < 0 || !im.fmt) {
    return fail("cannot create the container");
  }
  const bool mjpeg = codec_id == Codec::kMjpeg;
  const AVCodec* codec = avcodec_find_encoder(mjpeg ? AV_CODEC_ID_MJPEG : AV_CODEC_ID_MPEG4);
  if (!codec) return fail("no encoder");
  im.st = avformat_new_stream(im.fmt, nullptr);
  im.enc = avcodec_alloc_context3(codec);
  if (!im.st || !im.enc) return fail("out of memory");
  im.enc->width = w;
  im.enc->height = h;
  im.enc->time_base = AVRational{1, fps};
  im.enc->framerate = AVRational{fps, 1};
  im.enc->pix_fmt = mjpeg ? AV_PIX_FMT_YUVJ420P : AV_PIX_FMT_YUV420P;
  im.enc->gop_size = 12;
  im.enc->bit_rate = 1'200'000;
  im.enc->thread_count = 1;
  if (im.fmt->oformat->flags & AVFMT_GLOBALHEADER) im.enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (avcodec_open2(im.enc, codec, nullptr) < 0) return fail("cannot open the encoder");
  if (avcodec_parameters_from_context(im.st->codecpar, im.enc) < 0) return fail("bad parameters");
  im.st->time_base = im.enc->time_base;
  if (avio_open(&im.fmt->pb, file.c_str(), AVIO_FLAG_WRITE) < 0) return fail("cannot write");
  if (avformat_write_header(im.fmt, nullptr) < 0) return fail("cannot write the header");
  im.header = true;
  im.frame = av_frame_alloc();
  im.pkt = av_packet_alloc();
  if (!im.frame || !im.pkt) return fail("out of memory");
  im.frame->format = im.enc->pix_fmt;
  im.frame->width = w;
  im.frame->height = h;
  if (av_frame_get_buffer(im.frame, 0) < 0) return fail("out of memory");
  im.sws = sws_getContext(w, h, AV_PIX_FMT_BGRA, w, h, im.enc->pix_fmt, SWS_BILINEAR, nullptr,
                          nullptr, nullptr);
  if (!im.sws) return fail("no scaler");
  return true;
}

bool VideoWriter::Write(const QImage& picture) {
  if (!impl_) return false;
  Impl& im = *impl_;
  QImage src = picture.convertToFormat(QImage::Format_ARGB32);
  if (src.width() != im.w || src.height() != im.h) {
    src = src.scaled(im.w, im.h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  }
  if (av_frame_make_writable(im.frame) < 0) return im.ok = false;
  const uint8_t* data[1] = {src.constBits()};
  const int stride[1] = {static_cast<int>(src.bytesPerLine())};
  sws_scale(im.sws, data, stride, 0, im.h, im.frame->data, im.frame->linesize);
  im.frame->pts = im.pts++;
  if (avcodec_send_frame(im.enc, im.frame) < 0 || !im.Drain(false)) im.ok = false;
  return im.ok;
}

bool VideoWriter::Close() {
  if (!impl_) return false;
  Impl& im = *impl_;
  if (!im.Drain(true)) im.ok = false;
  if (im.header && av_write_trailer(im.fmt) < 0) im.ok = false;
  const bool ok = im.ok;
  impl_.reset();
  return ok;
}

}  // namespace cs
