#pragma once

#include <QColor>
#include <QRect>

class PictureBox;
class QCheckBox;

enum class CropSide { Left, Top, Right, Bottom };

// What the crop dialog works on in the editor window: the crop check box, the picture and the
// four bars over its edges.
struct CropTargets {
    QCheckBox* checkCrop = nullptr;
    PictureBox* picture = nullptr;
    PictureBox* top = nullptr;
    PictureBox* bottom = nullptr;
    PictureBox* left = nullptr;
    PictureBox* right = nullptr;
};

// Where the bar of `side` lies over a picture at `picture` for a margin of `margin` pixels: along
// the whole edge, as thick as the margin, the right and bottom bars ending at the picture's far
// edge. The thickness drawn is held within 0 and the picture's size, so a negative margin or one
// larger than the picture never puts a bar outside it.
QRect CropBarRect(CropSide side, const QRect& picture, int margin);

PictureBox* CropBar(const CropTargets& targets, CropSide side);

// Moves and resizes one bar, or all four, by CropBarRect over the targets' picture. Visibility
// and colour are left alone.
void PlaceCropBar(const CropTargets& targets, CropSide side, int margin);
void PlaceCropBars(const CropTargets& targets, int left, int top, int right, int bottom);

void SetCropBarColor(const CropTargets& targets, const QColor& color);
