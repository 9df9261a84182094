#pragma once
// The colours the shared forms paint with.
#include <QColor>

inline const QColor clDisabled(0xE0, 0xE0, 0xE0);
inline const QColor clNotRecord(0xF0, 0xF0, 0xF0);
inline const QColor clPaleBackground(0xF5, 0xF8, 0xFC);
inline const QColor clMainBackground(0xFF, 0xFF, 0xFF);
