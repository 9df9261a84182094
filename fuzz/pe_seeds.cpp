// Writes the fuzzer's seed corpus: small PE and ELF files of every kind the
// reader knows, built byte by byte like the tests' files.
//
//   pe_seeds FOLDER
#include "tests/Files/ElfBuilder.h"
#include "tests/Files/PeBuilder.h"

#include <QDir>
#include <QFile>

#include <cstdio>

namespace {

QByteArray Version()
{
    return PeBuilder::Version(0x10000, 1,
                              {{QStringLiteral("041904E3"),
                                {{QStringLiteral("FileDescription"), QStringLiteral("Описание")},
                                 {QStringLiteral("ProductVersion"), QStringLiteral("1.0.0.1")},
                                 {QStringLiteral("ProductName"), QStringLiteral("Seed")},
                                 {QStringLiteral("SpecialBuild"), QString()}}}},
                              {0x04E30419});
}

PeBuilder Everything(bool pe32Plus)
{
    PeBuilder builder;
    builder.pe32Plus = pe32Plus;
    builder.Add(2, 1, PeBuilder::Bitmap(4, 4, 8, 4));
    builder.Add(2, 2, PeBuilder::Bitmap(3, 3, 24));
    builder.Add(4, 1,
                PeBuilder::Menu({{0x10, 0, QStringLiteral("&File")},
                                 {0, 100, QStringLiteral("&Open")},
                                 {0, 0, QString()},
                                 {0x80, 101, QStringLiteral("E&xit")},
                                 {0x90, 0, QStringLiteral("&Help")},
                                 {0x80, 200, QStringLiteral("&About")}}));
    builder.Add(6, 1, PeBuilder::StringBlock({QString(), QStringLiteral("one"), QStringLiteral("два")}));
    IconSpec small;
    small.width = small.height = 16;
    IconSpec deep;
    deep.bitCount = 32;
    deep.groupColours = 0;
    builder.AddIconGroup(QStringLiteral("MAINICON"), {small, IconSpec(), deep}, 1);
    builder.AddCursorGroup(1, {{16, 16}}, 1);
    builder.Add(16, 1, Version());
    builder.Add("NAMED", "ITEM", "named data");
    builder.Add(17, 1, "seventeen", 0x0409);
    return builder;
}

// A file of this platform with its version section among others.
QByteArray Elf(bool is64, bool bigEndian)
{
    ElfBuilder builder;
    builder.is64 = is64;
    builder.bigEndian = bigEndian;
    builder.Add(".text", QByteArray(16, '\x90'));
    builder.Add(".zversion", Version());
    builder.Add(".bss", QByteArray(), ElfBuilder::NoBits);
    return builder.Build();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fputs("usage: pe_seeds FOLDER\n", stderr);
        return 2;
    }
    const QDir folder(QFile::decodeName(argv[1]));
    folder.mkpath(QStringLiteral("."));
    QList<QPair<QString, QByteArray>> seeds;
    seeds.append({QStringLiteral("everything32.dll"), Everything(false).Build()});
    seeds.append({QStringLiteral("everything64.dll"), Everything(true).Build()});
    PeBuilder icons;
    icons.AddIconGroup(1, {IconSpec()}, 1);
    seeds.append({QStringLiteral("icon.dll"), icons.Build()});
    PeBuilder version;
    version.Add(16, 1, Version());
    seeds.append({QStringLiteral("version.dll"), version.Build()});
    PeBuilder strings;
    strings.Add(6, 7, PeBuilder::StringBlock({QStringLiteral("a"), QStringLiteral("b")}));
    strings.Add(4, 2, PeBuilder::Menu({{0x80, 1, QStringLiteral("Only")}}));
    seeds.append({QStringLiteral("strings.dll"), strings.Build()});
    PeBuilder bare;
    bare.withResourceSection = false;
    seeds.append({QStringLiteral("bare.dll"), bare.Build()});
    seeds.append({QStringLiteral("version.res"), Version()});
    PeBuilder menus;
    menus.Add(4, 1,
              PeBuilder::MenuEx({{0, 0, 10, 0x01, QStringLiteral("&File"), 7},
                                 {0, 0, 100, 0, QStringLiteral("&Open")},
                                 {0x800, 0, 0, 0, QString()},
                                 {0, 3, 101, 0x80, QStringLiteral("E&xit")},
                                 {0, 0, 20, 0x81, QStringLiteral("&Help")},
                                 {0x200, 8, 200, 0x80, QStringLiteral("&About")}}));
    seeds.append({QStringLiteral("menuex.dll"), menus.Build()});
    seeds.append({QStringLiteral("elf64.so"), Elf(true, false)});
    seeds.append({QStringLiteral("elf32.so"), Elf(false, false)});
    seeds.append({QStringLiteral("elf32be.so"), Elf(false, true)});
    for (const auto &seed : seeds) {
        QFile file(folder.filePath(seed.first));
        if (!file.open(QIODevice::WriteOnly) || file.write(seed.second) != seed.second.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
            return 1;
        }
    }
    return 0;
}
