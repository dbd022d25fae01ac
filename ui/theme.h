#pragma once

#include <QColor>
#include <QPalette>

class QWidget;

// The window's colours against the desktop's theme: each colour the layout gives is kept where
// it reads, and made darker or lighter, keeping its hue, where it would not.
namespace korvan::ui {

// The contrast of two colours as the accessibility guidelines reckon it: from 1 (the same) to 21
// (black on white).
double contrastRatio(const QColor& a, const QColor& b);

// Text of this contrast or more reads for most people.
inline constexpr double kReadableContrast = 4.5;

// `wanted` as it is when it reads on `background`; else of the same hue, darker on a light
// background and lighter on a dark one, just as far as it takes to read.
QColor readableOn(const QColor& wanted, const QColor& background, double least = kReadableContrast);

// The text colour the layout gives `widget` (and what it holds), kept so that it can be chosen
// anew when the theme changes; an invalid colour stands for the theme's own text colour. Each
// text role is made readable on the background it is drawn on.
void setTextColour(QWidget* widget, const QColor& colour);
// A sunken panel's look: inside in the theme's base colour (white in a light theme), what it
// holds drawn on that, its bevel's light edge grey so that it shows against it.
void setInsetLook(QWidget* panel);
// Every colour set so under `root` (itself included) chosen again from the theme as it is now.
void refreshTextColours(QWidget* root);

// Themes a desktop gives, for the screenshots and the tests: the theme's dark variant, and a
// high-contrast one (white and yellow on black).
QPalette darkPalette();
QPalette highContrastPalette();

}  // namespace korvan::ui
