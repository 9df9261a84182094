#pragma once
// Drives everything the executable-image reader can do with a file: every
// list and item, names, raw data, saving, every decoder (icon and cursor
// images, bitmaps, string tables, menus, groups, the best icon, the version
// resource, also from the version section of an ELF file) and the peres
// listing. The fuzzer feeds it arbitrary bytes and the
// regression test the inputs the fuzzer once found faults with.
//
// A damaged file may raise EExeError at any step: each step's message is
// collected and the walk goes on with the next step. Any other exception is a
// fault of the reader and escapes.
#include <QByteArray>
#include <QStringList>

class TExeImage;

QStringList ExerciseImage(TExeImage &image);
// Opens the bytes as an image (and as an ELF file, a bare version resource
// and an icon image) and exercises them.
QStringList ExerciseBytes(const QByteArray &bytes);
