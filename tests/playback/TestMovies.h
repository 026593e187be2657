// Small generated movies whose every frame carries its number as 16 black or white
// columns (bit k in column k), and the reader of that code.
#pragma once

#include <QImage>

#include <cstdlib>
#include <optional>
#include <string>

namespace kirvano::testing {

struct MovieSpec {
    int width = 320;
    int height = 240;
    std::string rate = "30000/1001";
    double seconds = 2.0;
    bool bFrames = true;
    bool audio = true;
};

inline bool MakeNumberedMovie(const std::string& path, const MovieSpec& spec) {
    std::string command = "ffmpeg -v error -y -f lavfi -i \"nullsrc=s=16x8:r=" + spec.rate +
                          ":d=" + std::to_string(spec.seconds) +
                          ",format=gray,geq=lum='255*mod(floor(N/pow(2\\,floor(X*16/W)))\\,2)',"
                          "scale=" +
                          std::to_string(spec.width) + ":" + std::to_string(spec.height) +
                          ":flags=neighbor\"";
    if (spec.audio)
        command += " -f lavfi -i \"sine=frequency=440:duration=" + std::to_string(spec.seconds) +
                   "\" -c:a aac -shortest";
    command += " -c:v libx264 -preset ultrafast -pix_fmt yuv420p -g 15 ";
    command += spec.bFrames ? "-bf 2 " : "-bf 0 ";
    command += "'" + path + "'";
    return std::system(command.c_str()) == 0;
}

inline std::optional<int> ReadFrameCode(const QImage& image) {
    if (image.isNull() || image.width() < 16)
        return std::nullopt;
    const int y = image.height() / 2;
    int value = 0;
    for (int bit = 0; bit < 16; ++bit) {
        const int x = (2 * bit + 1) * image.width() / 32;
        const int grey = qGray(image.pixel(x, y));
        if (grey > 160)
            value |= 1 << bit;
        else if (grey > 96)
            return std::nullopt;
    }
    return value;
}

} // namespace kirvano::testing
