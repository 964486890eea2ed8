#include "photos/jpegdecoder.h"

#include "data/error.h"

#include <QFile>

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

namespace tabi::photos {

namespace {

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

// Everything the decoder touches lives in the caller's frame, so nothing with a destructor is skipped by the
// long jump out of the library.
struct Job {
    jpeg_decompress_struct cinfo;
    ErrorExit err;
    QImage image;
    QSize size;
};

bool run(Job* job, const unsigned char* data, unsigned long size, bool headerOnly) {
    job->cinfo.err = jpeg_std_error(&job->err.mgr);
    job->err.mgr.error_exit = onFatalError;
    job->err.mgr.output_message = onMessage;
    job->err.message[0] = 0;
    if (setjmp(job->err.jump)) {
        jpeg_destroy_decompress(&job->cinfo);
        return false;
    }
    jpeg_create_decompress(&job->cinfo);
    jpeg_mem_src(&job->cinfo, data, size);
    jpeg_read_header(&job->cinfo, TRUE);
    job->size = QSize(int(job->cinfo.image_width), int(job->cinfo.image_height));
    if (headerOnly) {
        jpeg_destroy_decompress(&job->cinfo);
        return true;
    }
    const bool cmyk = job->cinfo.jpeg_color_space == JCS_CMYK || job->cinfo.jpeg_color_space == JCS_YCCK;
    job->cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRX; // BGRX is QImage's RGB32 byte order
    jpeg_start_decompress(&job->cinfo);
    job->image = QImage(int(job->cinfo.output_width), int(job->cinfo.output_height), QImage::Format_RGB32);
    if (job->image.isNull()) {
        std::snprintf(job->err.message, sizeof job->err.message, "Image too large");
        jpeg_destroy_decompress(&job->cinfo);
        return false;
    }
    while (job->cinfo.output_scanline < job->cinfo.output_height) {
        JSAMPROW row = job->image.scanLine(int(job->cinfo.output_scanline));
        jpeg_read_scanlines(&job->cinfo, &row, 1);
    }
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
    return true;
}

[[noreturn]] void fail(const QString& fileName, const Job& job) {
    throw Error(QStringLiteral("%1: %2").arg(fileName, QString::fromLocal8Bit(job.err.message)));
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("%1: %2").arg(path, file.errorString()));
    return file.readAll();
}

} // namespace

// Runs the decoder over the whole picture or its header only; an error names the file.
static void decodeOrFail(Job& job, const QByteArray& data, const QString& fileName, bool headerOnly) {
    if (data.isEmpty()) {
        std::snprintf(job.err.message, sizeof job.err.message, "Empty file");
        fail(fileName, job);
    }
    if (!run(&job, reinterpret_cast<const unsigned char*>(data.constData()), static_cast<unsigned long>(data.size()),
             headerOnly))
        fail(fileName, job);
}

QImage decodeJpeg(const QByteArray& data, const QString& fileName) {
    Job job{};
    decodeOrFail(job, data, fileName, false);
    return job.image;
}

QImage loadJpegFile(const QString& path) {
    return decodeJpeg(readFile(path), path);
}

QSize jpegSize(const QByteArray& data, const QString& fileName) {
    Job job{};
    decodeOrFail(job, data, fileName, true);
    return job.size;
}

QSize jpegFileSize(const QString& path) {
    return jpegSize(readFile(path), path);
}

} // namespace tabi::photos
