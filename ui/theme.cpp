#include "ui/theme.h"

#include <QApplication>
#include <QVariant>
#include <QWidget>
#include <cmath>

namespace korvan::ui {
namespace {

// Where the colour the layout gives a widget is kept.
constexpr const char* kTextColour = "korvanTextColour";
// Set on a sunken panel: white inside (the theme's base), its bevel's light edge grey.
constexpr const char* kInset = "korvanInset";

double luminance(const QColor& colour) {
    const auto linear = [](double channel) {
        return channel <= 0.03928 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    const QColor rgb = colour.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) +
           0.0722 * linear(rgb.blueF());
}

// Each text role and the background it is drawn on.
constexpr std::pair<QPalette::ColorRole, QPalette::ColorRole> kTextOn[] = {
    {QPalette::WindowText, QPalette::Window},
    {QPalette::Text, QPalette::Base},
    {QPalette::ButtonText, QPalette::Button},
};

// The widget's look from the theme as it is now: a panel's inside, then its text colour.
void applyLook(QWidget* widget) {
    QPalette palette = widget->palette();
    const QPalette theme = QApplication::palette();
    if (widget->property(kInset).toBool()) {
        const QPalette outside =
            widget->parentWidget() != nullptr ? widget->parentWidget()->palette() : theme;
        palette.setColor(QPalette::Window, outside.color(QPalette::Base));
        palette.setColor(QPalette::Light, outside.color(QPalette::Mid));
    }
    const QVariant kept = widget->property(kTextColour);
    if (!kept.isValid()) {
        widget->setPalette(palette);
        return;
    }
    const QColor wanted = kept.value<QColor>();
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        for (const auto& [text, background] : kTextOn) {
            const QColor colour = wanted.isValid() ? wanted : theme.color(group, text);
            palette.setColor(group, text, readableOn(colour, palette.color(group, background)));
        }
    }
    widget->setPalette(palette);
}

}  // namespace

double contrastRatio(const QColor& a, const QColor& b) {
    const double first = luminance(a);
    const double second = luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

QColor readableOn(const QColor& wanted, const QColor& background, double least) {
    if (contrastRatio(wanted, background) >= least) {
        return wanted;
    }
    // Away from the background: darker on a light one, lighter on a dark one, by the lightness
    // alone, so that red stays red.
    const bool darker = luminance(background) > 0.18;
    const QColor hsl = wanted.toHsl();
    float hue = 0;
    float saturation = 0;
    float lightness = 0;
    float alpha = 0;
    hsl.getHslF(&hue, &saturation, &lightness, &alpha);
    QColor tried = wanted;
    for (int step = 1; step <= 100; ++step) {
        const float moved = darker ? std::max(0.0F, lightness - static_cast<float>(step) / 100)
                                   : std::min(1.0F, lightness + static_cast<float>(step) / 100);
        tried = QColor::fromHslF(hue, saturation, moved, alpha).toRgb();
        if (contrastRatio(tried, background) >= least) {
            return tried;
        }
    }
    return tried;  // black or white: as far as it goes
}

void setTextColour(QWidget* widget, const QColor& colour) {
    widget->setProperty(kTextColour, colour);
    applyLook(widget);
}

void setInsetLook(QWidget* panel) {
    panel->setProperty(kInset, true);
    applyLook(panel);
}

void refreshTextColours(QWidget* root) {
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets.prepend(root);
    // Outer widgets first: what they hold takes its background from them.
    for (QWidget* widget : widgets) {
        if (widget->property(kTextColour).isValid() || widget->property(kInset).toBool()) {
            applyLook(widget);
        }
    }
}

QPalette darkPalette() {
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x2B, 0x2B, 0x2B));
    dark.setColor(QPalette::WindowText, QColor(0xEE, 0xEE, 0xEE));
    dark.setColor(QPalette::Base, QColor(0x1E, 0x1E, 0x1E));
    dark.setColor(QPalette::AlternateBase, QColor(0x2B, 0x2B, 0x2B));
    dark.setColor(QPalette::Text, QColor(0xEE, 0xEE, 0xEE));
    dark.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::ButtonText, QColor(0xEE, 0xEE, 0xEE));
    dark.setColor(QPalette::Highlight, QColor(0x3D, 0x7A, 0xD6));
    dark.setColor(QPalette::HighlightedText, QColor(0xFF, 0xFF, 0xFF));
    dark.setColor(QPalette::Light, QColor(0x4A, 0x4A, 0x4A));
    dark.setColor(QPalette::Midlight, QColor(0x3C, 0x3C, 0x3C));
    dark.setColor(QPalette::Mid, QColor(0x24, 0x24, 0x24));
    dark.setColor(QPalette::Dark, QColor(0x18, 0x18, 0x18));
    dark.setColor(QPalette::Shadow, QColor(0x00, 0x00, 0x00));
    dark.setColor(QPalette::ToolTipBase, QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::ToolTipText, QColor(0xEE, 0xEE, 0xEE));
    dark.setColor(QPalette::PlaceholderText, QColor(0xA0, 0xA0, 0xA0));
    return dark;
}

QPalette highContrastPalette() {
    QPalette contrast;
    for (const auto role : {QPalette::Window, QPalette::Base, QPalette::Button,
                            QPalette::AlternateBase, QPalette::ToolTipBase}) {
        contrast.setColor(role, Qt::black);
    }
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText,
                            QPalette::ToolTipText, QPalette::Light, QPalette::Midlight}) {
        contrast.setColor(role, Qt::white);
    }
    contrast.setColor(QPalette::Mid, QColor(0xC0, 0xC0, 0xC0));
    contrast.setColor(QPalette::Dark, QColor(0xC0, 0xC0, 0xC0));
    contrast.setColor(QPalette::Highlight, QColor(0xFF, 0xFF, 0x00));
    contrast.setColor(QPalette::HighlightedText, Qt::black);
    contrast.setColor(QPalette::PlaceholderText, QColor(0xC0, 0xC0, 0xC0));
    contrast.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x80, 0xFF, 0x80));
    contrast.setColor(QPalette::Disabled, QPalette::Text, QColor(0x80, 0xFF, 0x80));
    contrast.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x80, 0xFF, 0x80));
    return contrast;
}

}  // namespace korvan::ui
