#pragma once
// The program's own command line as other users' tools see it (ps,
// /proc/<pid>/cmdline): the block of argument texts the system handed to
// main. A password given there is blanked out of that block before anything
// else runs; the program reads its switches from a private copy.
#include <QByteArray>
#include <QList>

#include <vector>

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

// A private copy of the argument array, for the application object to read
// (and rearrange) while the system's block is rewritten.
class TArgumentCopy {
public:
    TArgumentCopy(int argc, char **argv);
    TArgumentCopy(const TArgumentCopy &) = delete;
    TArgumentCopy &operator=(const TArgumentCopy &) = delete;

    // The count and array to hand to the application object; both live as long as the copy.
    int &Count() { return m_count; }
    char **Values() { return m_values.data(); }

private:
    QList<QByteArray> m_texts;
    std::vector<char *> m_values;
    int m_count = 0;
};
