// What the files of the join's movie assembly share: track names in messages, a box's
// payload as bytes, and the check that a further recording fits the joined movie.
#pragma once

#include "base/ByteRange.h"
#include "container/JoinMovie.h"

#include <string>

namespace kirvano {

inline std::string TrackName(std::size_t i) {
    return "track " + std::to_string(i + 1);
}

inline ByteRange Payload(const JoinBox& box) {
    return ByteRange(box.payload.data(), box.payload.size());
}

// Whether movie b can be put behind movie a: the same time scales, track layout, codecs,
// picture sizes, frame rates and edit lists.
Status CheckCompatible(const MovieFacts& a, const MovieFacts& b);

} // namespace kirvano
