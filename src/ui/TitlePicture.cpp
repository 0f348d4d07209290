#include "TitlePicture.h"

#include <QFile>
#include <QFileInfo>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

// libjpeg's default handler ends the process; a broken picture must only leave it out.
[[noreturn]] void OnError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

void OnMessage(j_common_ptr) {}

} // namespace

QImage LoadJpegPicture(const QString& fileName) {
    // Opening a FIFO or a device for reading would wait for a writer: the start would hang.
    const QFileInfo info(fileName);
    if (!info.isFile() || info.size() > kMaxTitlePictureBytes) return {};
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) return {};
    // One byte more than allowed: the file may have grown since it was looked at.
    const QByteArray bytes = file.read(kMaxTitlePictureBytes + 1);
    if (bytes.isEmpty() || bytes.size() > kMaxTitlePictureBytes) return {};

    jpeg_decompress_struct decoder;
    ErrorManager errors;
    decoder.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = OnError;
    errors.base.output_message = OnMessage;
    // Between setjmp and a jump back only plain C data may live: a skipped destructor leaks.
    unsigned char* volatile pixels = nullptr;
    volatile int width = 0, height = 0;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&decoder);
        std::free(pixels);
        return {};
    }
    jpeg_create_decompress(&decoder);
    jpeg_mem_src(&decoder, reinterpret_cast<const unsigned char*>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&decoder, TRUE);
    // The header says how much memory the pixels take; a few bytes can claim gigabytes.
    if (decoder.image_width > kMaxTitlePictureSide || decoder.image_height > kMaxTitlePictureSide) {
        jpeg_destroy_decompress(&decoder);
        return {};
    }
    decoder.out_color_space = JCS_RGB;
    jpeg_start_decompress(&decoder);
    width = int(decoder.output_width);
    height = int(decoder.output_height);
    pixels = static_cast<unsigned char*>(std::malloc(size_t(width) * size_t(height) * 3));
    if (!pixels) {
        jpeg_destroy_decompress(&decoder);
        return {};
    }
    while (decoder.output_scanline < decoder.output_height) {
        JSAMPROW row = pixels + size_t(decoder.output_scanline) * size_t(width) * 3;
        jpeg_read_scanlines(&decoder, &row, 1);
    }
    jpeg_finish_decompress(&decoder);
    jpeg_destroy_decompress(&decoder);
    // The image takes the pixels over instead of copying them.
    return QImage(
        pixels, width, height, width * 3, QImage::Format_RGB888,
        [](void* data) { std::free(data); }, pixels);
}
