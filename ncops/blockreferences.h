#pragma once
// Blocks that name other blocks of the same program by their numbers: the
// contour of a lathe cycle (G70 to G73 with P and Q), a local subprogram call
// (M97 P), a call of a subprogram that the program does not hold as an "O"
// program (M98 P), and jumps (GOTO n). Renumbering does not change these
// references, so a program holding one is told about before it is renumbered.
#include <QByteArray>
#include <QByteArrayView>
#include <optional>
#include <set>
#include <vector>

namespace lumrik {

struct BlockReference {
    int line = 0;    // from 1
    QByteArray text; // the line, blanks trimmed
};

class BlockReferenceScan {
public:
    // Lines in program order, numbered from 1.
    void addLine(QByteArrayView line, int lineNo);
    // The first line that refers to a block number, if any.
    std::optional<BlockReference> first() const;

private:
    struct Call {
        BlockReference at;
        qint64 program;
    };
    std::optional<BlockReference> direct_; // the first reference that needs no look-up
    std::vector<Call> calls_;              // M98 P calls before it
    std::set<qint64> programs_;            // the "O" numbers of the program
};

// The first reference of a whole text, its lines ended by CR LF, LF or a lone
// CR (as the editor counts them).
std::optional<BlockReference> firstBlockReference(QByteArrayView text);

}
