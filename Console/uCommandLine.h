#pragma once
// The program's own command line as other users' tools see it (ps,
// /proc/<pid>/cmdline): the block of argument texts the system handed to
// main. Once the console has read its switches, a password given there is
// blanked out of that block.
#include <QByteArray>
#include <QList>

class TProcessCommandLine {
public:
    // Notes the block; to be made before anything (the application object)
    // rearranges the argument array.
    TProcessCommandLine(int argc, char **argv);

    // Rewrites the block with every password switch's value as "***". argc and
    // argv are the argument array as the program holds it now (the
    // application object may have taken its own options out); its pointers
    // are moved along with their texts.
    void HidePasswords(int argc, char **argv) const;

    // "/password=secret" -> "/password=***" (never longer than the argument:
    // a value of one or two characters gets as many stars); any other argument unchanged.
    static QByteArray MaskedArgument(const QByteArray &argument);

private:
    char *m_begin = nullptr;
    qsizetype m_size = 0;
    bool m_contiguous = false;
    QList<QByteArray> m_arguments;
    QList<qsizetype> m_offsets;
};
