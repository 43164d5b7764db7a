#pragma once
// Whole-document line operations: the rules per line, and the commands that run
// them over the active document window.
#include <QByteArray>
#include <QByteArrayView>
#include <array>

namespace lumrik {

class frmDocument;

// Blanks, TABs and NULs dropped outside comments ("(" to ")", or to the end of
// the line); inside comments everything stays.
QByteArray PackBlock(QByteArrayView line);

// The line packed, then one blank put before every address letter (A-Z) that is
// neither the first nor the last character, does not follow another address
// letter and stands outside a comment. A line holding "'" stays packed. The
// caller's line is replaced by its packed form.
QByteArray UnpackBlock(QByteArray &line);
// The same for a line that is packed already.
QByteArray UnpackPackedBlock(const QByteArray &line);

// Every character below code 32 dropped.
QByteArray clearControlChars(QByteArrayView line);

// Completes missing decimal points: for each character of `letters` in order,
// the first occurrence of that letter at a word's start (see findAtWordStart)
// with a number right after it gets a "." after the number when the number
// has digits and no decimal separator ("." in it, or "," right after it), and
// when it stands outside comments ("(...)", and after a ";"). Returns the
// number of points added.
int addDecimalPoints(QByteArray &line, QByteArrayView letters);

// Smallest and largest values of X, Y, Z, R, F and S in a program. The first
// comment of a line does not count, a second one does; only the first
// occurrence of a letter in a line counts; letters are case-sensitive.
struct XyzRange {
    static constexpr char kLetters[6] = {'X', 'Y', 'Z', 'R', 'F', 'S'};
    std::array<float, 6> min{};
    std::array<float, 6> max{};
    std::array<bool, 6> seen{};
    void addLine(QByteArrayView line);
};

// The commands on a document window. The four framed ones refuse read-only and
// hex views and ask first; pack and unpack show the progress dialog and can be
// aborted (the lines done stay done, the rest stay as they were). Each change is
// one undo step.
void MnClearChars(frmDocument *doc);
void MnPack(frmDocument *doc);
void MnUnPack(frmDocument *doc);
void MnUppercase(frmDocument *doc);
void MnPunktKoll(frmDocument *doc);
// Shows the X/Y/Z/R/F/S range of the program in frmXYZ.
void MnXYZ(frmDocument *doc);

}
