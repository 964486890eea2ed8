#include "photos/jpegdecoder.h"

#include "data/error.h"

#include <QFile>

#include <csetjmp>
#include <cstdio>
#include <jerror.h>
#include <jpeglib.h>

namespace tabi::photos {

namespace {

// Ceiling of the decoder's own working memory. A progressive picture keeps all its coefficients until the
// last scan (128 bytes per 8 x 8 block of each component), whatever scale it is shown at.
constexpr qint64 kMaxDecoderBytes = 96LL << 20;
// Ceiling of a decoded picture: a scale that would give more pixels than this is passed over for a smaller one.
constexpr qint64 kMaxOutputPixels = 8'000'000;

struct ErrorExit {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void onFatalError(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorExit*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Warnings (a truncated file, extraneous bytes) are not printed: the image is shown as far as it decodes.
void onMessage(j_common_ptr) {}

enum class Mode { Header, Whole, Fill, TopLeft };

// Everything the decoder touches lives in the caller's frame, so nothing with a destructor is skipped by the
// long jump out of the library.
struct Job {
    jpeg_decompress_struct cinfo;
    ErrorExit err;
    QImage image;
    QSize size;
    bool tooLarge = false;
};

bool refuse(Job* job) {
    job->tooLarge = true;
    jpeg_destroy_decompress(&job->cinfo);
    return false;
}

bool run(Job* job, const unsigned char* data, unsigned long size, Mode mode, QSize area) {
    job->cinfo.err = jpeg_std_error(&job->err.mgr);
    job->err.mgr.error_exit = onFatalError;
    job->err.mgr.output_message = onMessage;
    job->err.message[0] = 0;
    if (setjmp(job->err.jump)) {
        jpeg_destroy_decompress(&job->cinfo);
        return false;
    }
    jpeg_create_decompress(&job->cinfo);
    job->cinfo.mem->max_memory_to_use = long(kMaxDecoderBytes) + (16L << 20);
    jpeg_mem_src(&job->cinfo, data, size);
    jpeg_read_header(&job->cinfo, TRUE);
    job->size = QSize(int(job->cinfo.image_width), int(job->cinfo.image_height));
    if (mode == Mode::Header) {
        jpeg_destroy_decompress(&job->cinfo);
        return true;
    }
    if (qint64(job->cinfo.image_width) * job->cinfo.image_height > kMaxPixels)
        return refuse(job);
    if (jpeg_has_multiple_scans(&job->cinfo)) {
        qint64 coefficients = 0;
        for (int i = 0; i < job->cinfo.num_components; ++i) {
            const jpeg_component_info& c = job->cinfo.comp_info[i];
            coefficients += qint64(c.width_in_blocks) * c.height_in_blocks * qint64(sizeof(JBLOCK));
        }
        if (coefficients > kMaxDecoderBytes)
            return refuse(job);
    }

    const bool cmyk = job->cinfo.jpeg_color_space == JCS_CMYK || job->cinfo.jpeg_color_space == JCS_YCCK;
    job->cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRX; // BGRX is QImage's RGB32 byte order
    if (mode == Mode::Fill) {
        // From the smallest scale up: the first whose picture covers the area, unless it would pass the ceiling.
        unsigned chosen = 8;
        for (unsigned denom : {8u, 4u, 2u, 1u}) {
            job->cinfo.scale_num = 1;
            job->cinfo.scale_denom = denom;
            jpeg_calc_output_dimensions(&job->cinfo);
            if (denom != 8 && qint64(job->cinfo.output_width) * job->cinfo.output_height > kMaxOutputPixels)
                break;
            chosen = denom;
            if (job->cinfo.output_width >= unsigned(area.width()) &&
                job->cinfo.output_height >= unsigned(area.height()))
                break;
        }
        job->cinfo.scale_denom = chosen;
    }
    jpeg_start_decompress(&job->cinfo);
    JDIMENSION rows = job->cinfo.output_height;
    if (mode == Mode::TopLeft) {
        if (job->cinfo.output_width > unsigned(area.width())) {
            JDIMENSION x = 0, width = JDIMENSION(area.width());
            jpeg_crop_scanline(&job->cinfo, &x, &width); // widened to whole blocks; the start stays at 0
        }
        rows = qMin(rows, JDIMENSION(area.height()));
    }
    if (qint64(job->cinfo.output_width) * rows > kMaxPixels)
        return refuse(job);
    job->image = QImage(int(job->cinfo.output_width), int(rows), QImage::Format_RGB32);
    if (job->image.isNull()) {
        job->err.mgr.msg_code = JERR_OUT_OF_MEMORY;
        job->err.message[0] = 0;
        jpeg_destroy_decompress(&job->cinfo);
        return false;
    }
    while (job->cinfo.output_scanline < rows) {
        JSAMPROW row = job->image.scanLine(int(job->cinfo.output_scanline));
        jpeg_read_scanlines(&job->cinfo, &row, 1);
    }
    if (job->cinfo.output_scanline < job->cinfo.output_height)
        jpeg_abort_decompress(&job->cinfo); // the rows below the area are not needed
    else
        jpeg_finish_decompress(&job->cinfo);
    jpeg_destroy_decompress(&job->cinfo);
    if (cmyk) {
        // Four bytes per pixel as C, M, Y, K; the usual writers store them inverted.
        for (int y = 0; y < job->image.height(); ++y) {
            uchar* p = job->image.scanLine(y);
            auto* out = reinterpret_cast<QRgb*>(p);
            for (int x = 0; x < job->image.width(); ++x, p += 4) {
                const int k = p[3];
                out[x] = qRgb(p[0] * k / 255, p[1] * k / 255, p[2] * k / 255);
            }
        }
    }
    if (mode == Mode::TopLeft && job->image.width() > area.width())
        job->image = job->image.copy(0, 0, area.width(), job->image.height());
    return true;
}

[[noreturn]] void fail(const QString& fileName, const Job& job) {
    if (job.tooLarge)
        throw Error(QStringLiteral("%1: 画像が大きすぎるため表示できません（%2 × %3 ピクセル）。")
                        .arg(fileName)
                        .arg(job.size.width())
                        .arg(job.size.height()));
    // In the user's words, with the decoder's own text after it for whoever needs the detail.
    QString what;
    switch (job.err.mgr.msg_code) {
    case JERR_NO_SOI:
        what = QStringLiteral("JPEG 形式の画像ではありません");
        break;
    case JERR_INPUT_EMPTY:
    case JERR_INPUT_EOF:
    case JERR_NO_IMAGE:
        what = QStringLiteral("ファイルが途中で切れていて画像を読み取れません");
        break;
    case JERR_OUT_OF_MEMORY:
        what = QStringLiteral("メモリが足りないため画像を表示できません");
        break;
    default:
        what = QStringLiteral("JPEG 画像として読み取れません");
        break;
    }
    const QString detail = QString::fromLocal8Bit(job.err.message);
    throw Error(detail.isEmpty() ? QStringLiteral("%1: %2。").arg(fileName, what)
                                 : QStringLiteral("%1: %2（%3）。").arg(fileName, what, detail));
}

[[noreturn]] void cannotOpen(const QFile& file) {
    throw Error(QStringLiteral("%1: ファイルを開けません（%2）。").arg(file.fileName(), file.errorString()));
}

// Runs the decoder; an error names the file.
void decodeOrFail(Job& job, const QByteArray& data, const QString& fileName, Mode mode, QSize area = QSize()) {
    if (data.isEmpty())
        throw Error(QStringLiteral("%1: ファイルが空です（0 バイト）。画像がありません。").arg(fileName));
    if (!run(&job, reinterpret_cast<const unsigned char*>(data.constData()), static_cast<unsigned long>(data.size()),
             mode, area))
        fail(fileName, job);
}

} // namespace

DecodedJpeg decodeJpegToFill(const QByteArray& data, const QString& fileName, QSize area) {
    Job job{};
    decodeOrFail(job, data, fileName, Mode::Fill, area);
    return {job.image, job.size};
}

DecodedJpeg decodeJpegTopLeft(const QByteArray& data, const QString& fileName, QSize area) {
    Job job{};
    decodeOrFail(job, data, fileName, Mode::TopLeft, area);
    return {job.image, job.size};
}

QImage decodeJpeg(const QByteArray& data, const QString& fileName) {
    Job job{};
    decodeOrFail(job, data, fileName, Mode::Whole);
    return job.image;
}

QByteArray readJpegFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        cannotOpen(file);
    if (file.size() > kMaxJpegFileBytes)
        throw Error(
            QStringLiteral("%1: ファイルが大きすぎるため表示できません（%2 バイト）。").arg(path).arg(file.size()));
    return file.readAll();
}

QImage loadJpegFile(const QString& path) {
    return decodeJpeg(readJpegFile(path), path);
}

QSize jpegSize(const QByteArray& data, const QString& fileName) {
    Job job{};
    decodeOrFail(job, data, fileName, Mode::Header);
    return job.size;
}

QSize jpegFileSize(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        cannotOpen(file);
    // The header is near the start; a large file need not be read whole for it.
    return jpegSize(file.read(qMin<qint64>(file.size(), kMaxJpegFileBytes)), path);
}

} // namespace tabi::photos
