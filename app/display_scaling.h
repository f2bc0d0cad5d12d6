#pragma once

#include <QGuiApplication>

// The window's fixed face is laid out in logical pixels. With this, a display
// scaled to 125 % or 150 % grows the whole face by exactly that much, boxes
// and fonts alike, instead of growing only the fonts (and cutting every
// caption). Qt's default rounding would draw 125 % at 1x and 150 % at 2x,
// which is why the build needs Qt 5.14, the first with pass-through rounding.
// Images smaller than what a button draws (the cross, the folder) come from
// their @2x renderings. Must run before the application object is made.
inline void enableDisplayScaling()
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
}
