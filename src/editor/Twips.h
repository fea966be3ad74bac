#pragma once

// Twips (1/1440 inch) against pixels of the primary screen. The windows are laid out in pixels;
// the few formulas that are stated in twips (icon positions, the slider's drag threshold) convert
// here. The factor is 1440 / logical dpi of each axis: 15 at 96 dpi.

double TwipsPerPixelX();
double TwipsPerPixelY();

double PixelsToTwipsX(double pixels);
double PixelsToTwipsY(double pixels);

double TwipsToPixelsX(double twips);
double TwipsToPixelsY(double twips);

// The same, rounded to the nearest whole pixel (for geometry).
int TwipsToWholePixelsX(double twips);
int TwipsToWholePixelsY(double twips);
