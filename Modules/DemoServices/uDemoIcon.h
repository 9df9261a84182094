#pragma once
// Icons of the demo services: a rounded square in the service's colour with its letter.
#include <QColor>
#include <QIcon>
#include <QString>

QIcon DemoIcon(const QColor &colour, const QString &letter);
