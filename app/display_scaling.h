#pragma once

#include <QGuiApplication>

// The window's fixed face is laid out in logical pixels. With this, a display
// scaled to 125 % or 150 % grows the whole face by exactly that much, boxes
// and fonts alike, instead of growing only the fonts (and cutting every
// caption), and the images are drawn from their @2x renderings. Qt's default
// rounding would draw 125 % at 1x and 150 % at 2x. Must run before the
// application object is made.
inline void enableDisplayScaling()
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
#if QT_VERSION >= QT_VERSION_CHECK(5, 14, 0)
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
#endif
}
