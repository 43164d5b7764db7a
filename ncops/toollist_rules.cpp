// The tool-list rules (no editor, no windows).
#include "core/codepage.h"
#include "ncops/mdlrkfix.h"
#include "ncops/toollist.h"

namespace lumrik {

QByteArray toolListFrameLine() { return QByteArray("'") + QByteArray(70, '-'); }

QList<QByteArray> toolListTokens(const QString &setting)
{
    QList<QByteArray> tokens;
    for (const QString &piece : setting.split(QLatin1Char(','), Qt::KeepEmptyParts))
        tokens << toCp1252(piece);
    return tokens;
}

int collectToolEntries(QByteArrayView line, const QList<QByteArray> &tokens,
                       std::vector<QByteArray> &entries)
{
    const QByteArrayView t = trimBlanks(line);
    if (!t.isEmpty() && t[0] == '\'')
        return 0;
    QByteArray code(line.data(), line.size());
    RkClipComment(code);
    int added = 0;
    for (const QByteArray &token : tokens) {
        // An empty token stands at the start of a non-empty line.
        const qsizetype p = token.isEmpty() ? (code.isEmpty() ? -1 : 0) : code.indexOf(token);
        if (p < 0)
            continue;
        // A digit must follow, unless the token ends in one itself: "M6"
        // is a whole tool-change word and catches «T1 M6».
        const qsizetype after = p + token.size();
        const bool wholeWord = !token.isEmpty() && isDigit(token.back());
        if (wholeWord || (after < code.size() && isDigit(code[after]))) {
            QByteArray entry;
            entry.reserve(line.size() + 2);
            entry.append("' ").append(line);
            entries.push_back(std::move(entry));
            ++added;
        }
    }
    return added;
}

std::vector<QByteArray> RkToolListBlock(const std::vector<QByteArray> &lines,
                                        const QList<QByteArray> &tokens)
{
    std::vector<QByteArray> block;
    block.push_back(toolListFrameLine());
    for (const QByteArray &line : lines)
        collectToolEntries(line, tokens, block);
    if (block.size() == 1)
        return {};
    block.push_back(toolListFrameLine());
    return block;
}

}
