#pragma once
// The one set of bounds on the arena size and the star count, for config.txt and
// for a peer's star list alike, so that whatever one side plays the other can
// hold. Every star list a 64 KiB frame can carry fits them, and the largest field
// they allow still fits one frame (kMaxFrameLength in net/frame_reader.h).

#include <cstdint>

constexpr int32_t kMinMapDimensions = 10;
constexpr int32_t kMaxMapDimensions = 1000;
constexpr int32_t kMaxStars = 8192;
