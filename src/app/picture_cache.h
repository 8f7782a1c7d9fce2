// The program's pictures as a front end holds them, each loaded when it is first shown: the
// 900 KB background would otherwise cost every start-up, though many runs never switch it on.
#pragma once

#include "app/design.h"

#include <optional>

namespace pikorina {

// The image controls show the 32 x 32 image of an icon, whatever the dpi: a larger rendering
// is the same picture stretched, as the explosion's later frames are.
inline constexpr int kIconImagePixels = 32;

// Image: the platform's picture. load makes one from a picture's design; Picture::None is an
// empty Image, never loaded.
template <typename Image> class PictureCache {
  public:
    using Loader = Image (*)(const PictureDesign& design);
    explicit PictureCache(Loader load) : load_(load) {}

    const Image& operator[](Picture picture) {
        std::optional<Image>& image = images_.at(static_cast<std::size_t>(picture));
        if (!image) image = picture == Picture::None ? Image{} : load_(Design(picture));
        return *image;
    }

  private:
    Loader load_;
    PictureTable<std::optional<Image>> images_;
};

} // namespace pikorina
