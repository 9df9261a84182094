#pragma once
// Icons of the demo services: a rounded square in the service's colour with a
// white picture of what the service holds (never a letter, which reads
// differently in each language).
#include <QColor>
#include <QIcon>

enum class TDemoPicture { Document, Person, People, Box, Chart, Invoice, Coin };

QIcon DemoIcon(const QColor &colour, TDemoPicture picture);
