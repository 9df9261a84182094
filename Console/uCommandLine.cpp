#include "Console/uCommandLine.h"

#include <cstring>

TProcessCommandLine::TProcessCommandLine(int argc, char **argv)
{
    if (argc < 1 || !argv || !argv[0])
        return;
    m_begin = argv[0];
    m_contiguous = true;
    for (int i = 0; i < argc; ++i) {
        m_arguments.append(QByteArray(argv[i]));
        m_offsets.append(argv[i] - m_begin);
        // The system lays the texts out one after the other; anything else is rewritten text by text.
        if (i + 1 < argc && argv[i] + std::strlen(argv[i]) + 1 != argv[i + 1])
            m_contiguous = false;
    }
    m_size = m_offsets.last() + m_arguments.last().size() + 1;
}

QByteArray TProcessCommandLine::MaskedArgument(const QByteArray &argument)
{
    const qsizetype at = argument.toLower().indexOf("/password");
    const qsizetype equals = at < 0 ? -1 : argument.indexOf('=', at);
    if (equals < 0 || equals + 1 == argument.size())
        return argument;
    return argument.left(equals + 1) + QByteArray(qMin<qsizetype>(3, argument.size() - equals - 1), '*');
}

void TProcessCommandLine::HidePasswords(int argc, char **argv) const
{
    QList<QByteArray> masked;
    bool changed = false;
    for (const QByteArray &argument : m_arguments) {
        masked.append(MaskedArgument(argument));
        changed = changed || masked.last() != argument;
    }
    if (!changed)
        return;
    if (!m_contiguous) {
        for (qsizetype i = 0; i < masked.size(); ++i) {
            char *text = m_begin + m_offsets[i];
            std::memset(text, 0, size_t(m_arguments[i].size()));
            std::memcpy(text, masked[i].constData(), size_t(masked[i].size()));
        }
        return;
    }
    // The texts close up, so that the block reads as the arguments with no gap between them.
    QByteArray block;
    QList<qsizetype> offsets;
    for (const QByteArray &argument : masked) {
        offsets.append(block.size());
        block += argument;
        block += '\0';
    }
    std::memcpy(m_begin, block.constData(), size_t(block.size()));
    std::memset(m_begin + block.size(), 0, size_t(m_size - block.size()));
    for (int i = 0; i < argc; ++i) {
        const qsizetype index = m_offsets.indexOf(argv[i] - m_begin);
        if (index >= 0)
            argv[i] = m_begin + offsets[index];
    }
}

TArgumentCopy::TArgumentCopy(int argc, char **argv)
{
    for (int i = 0; i < argc && argv && argv[i]; ++i)
        m_texts.append(QByteArray(argv[i]));
    for (QByteArray &text : m_texts)
        m_values.push_back(text.data());
    m_count = int(m_values.size());
    m_values.push_back(nullptr);
}
