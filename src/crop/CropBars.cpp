#include "crop/CropBars.h"

#include "crop/PictureBox.h"

#include <cmath>

QRect CropBarRect(CropSide side, const QRect& picture, int margin) {
    const int width = qMax(0, picture.width());
    const int height = qMax(0, picture.height());
    switch (side) {
    case CropSide::Top:
        return {picture.left(), picture.top(), width, qBound(0, margin, height)};
    case CropSide::Left:
        return {picture.left(), picture.top(), qBound(0, margin, width), height};
    case CropSide::Right: {
        const int bar = qBound(0, margin, width);
        return {picture.left() + width - bar, picture.top(), bar, height};
    }
    case CropSide::Bottom: {
        const int bar = qBound(0, margin, height);
        return {picture.left(), picture.top() + height - bar, width, bar};
    }
    }
    return {};
}

PictureBox* CropBar(const CropTargets& targets, CropSide side) {
    switch (side) {
    case CropSide::Left:
        return targets.left;
    case CropSide::Top:
        return targets.top;
    case CropSide::Right:
        return targets.right;
    case CropSide::Bottom:
        return targets.bottom;
    }
    return nullptr;
}

void PlaceCropBar(const CropTargets& targets, CropSide side, int margin) {
    PictureBox* bar = CropBar(targets, side);
    if (bar == nullptr || targets.picture == nullptr)
        return;
    // Margins are in the stream's pixels; a scaled picture shows them scaled.
    const QSizeF scale = targets.picture->shownScale();
    const double factor =
        side == CropSide::Left || side == CropSide::Right ? scale.width() : scale.height();
    const int shown = factor == 1.0 ? margin : int(std::lround(margin * factor));
    bar->setGeometry(CropBarRect(side, targets.picture->geometry(), shown));
}

void PlaceCropBars(const CropTargets& targets, int left, int top, int right, int bottom) {
    PlaceCropBar(targets, CropSide::Top, top);
    PlaceCropBar(targets, CropSide::Left, left);
    PlaceCropBar(targets, CropSide::Bottom, bottom);
    PlaceCropBar(targets, CropSide::Right, right);
}

void SetCropBarColor(const CropTargets& targets, const QColor& color) {
    for (PictureBox* bar : {targets.top, targets.bottom, targets.left, targets.right})
        if (bar != nullptr)
            bar->setBackColor(color);
}
