#pragma once
// The rules behind the machine set-up dialog's fields, without widgets: the
// port-list items, the key filters, the check of a machine's values before
// they are stored, the name of a new machine, and the outside services the
// dialog asks (folder browser, colour chooser, the computer's serial ports),
// which tests replace.
#include "dnc/machineconfig.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QWidget;

namespace lumrik {

// The path with a closing separator unless it already ends with one: "/"
// when its last separator is "/", otherwise "\" ("" gives "\").
QString AddBackslash(const QString &path);

// ---------------------------------------------------------------------------
// Port list

// The port number of a port-list item ("7 - /dev/ttyS0" -> "7") or of a typed
// number: a text that is a number as a whole (blanks around it allowed) comes
// back unchanged; otherwise the text before the first " - ", trimmed.
QString GetPortPart(const QString &sPort);
// The item of a port: number & " - " & display name.
QString portItemText(int number, const QString &name);

// A port of the list: its number and display name.
struct CncPort {
    int number = 0;
    QString name;
    QString device;
};
// The ports present now, numbers 1..255 in ascending order. Numbers come from
// section "ComPorts" of the main settings file (the send and receive windows
// open the same devices); a serial port of this computer that has no number
// yet is offered the next free one, so a newly plugged adapter can be chosen;
// nothing is written here. A numbered port whose device is gone is left out.
QList<CncPort> presentComPorts();

// ---------------------------------------------------------------------------
// Key filters of the text boxes

enum class KeyFilter {
    None,    // any character
    Digits,  // "0123456789" (a rejected key beeps)
    SignedDigits, // as Digits, and "-" (a negative close delay: no wait)
    HexList, // "0123456789, ABCDEF", compared in upper case
    HexRepeat, // as HexList, and "()*"
};
// True when a typed character may go into a box of that kind. Backspace (8)
// is always accepted.
bool keyAccepted(KeyFilter filter, QChar c);

// ---------------------------------------------------------------------------
// Checking the values before they are stored

// A value that cannot be stored: the dialog's field (its objectName), the
// message for the user.
struct FieldProblem {
    QString field;
    QString message;
};

// The values of the dialog as they would be stored, with the text of the
// port-number field (GetPortPart of the port list, or the stored number when
// the list has no selection).
// Returns the first problem in the order of the tabs, or nothing when every
// value can be stored and read back as it was meant:
// - every list holds one of its entries;
// - the port is a number 1..255;
// - leader and trailer are hex lists or one repeat form, the receive filter a
//   hex list, the start character and the send filter one hex code;
// - the delays are whole numbers (close delay -1..32767 s, where 0 waits 2 s
//   and -1 not at all; character delay 0..60000 ms), the receive delay a
//   number of seconds;
// - the folder of the programs and the extension are not empty, the extension
//   holds no folder separator;
// - no value is longer than the 99 characters a machine file gives back, and
//   every character can be written in the file's code page.
std::optional<FieldProblem> checkMachineSettings(const MachineSettings &s, const QString &portText);
// What the close delay may be, as the user is told it.
QString closeDelayRule();

// ---------------------------------------------------------------------------
// New machine

// The machine name of a typed name: trimmed and upper-cased.
QString newMachineName(const QString &typed);
// Empty when the name can be a machine's file name, else why not (Swedish).
QString newMachineNameProblem(const QString &name);

// ---------------------------------------------------------------------------
// Outside services

struct CncSetupHooks {
    // The folder browser: prompt, owner, initial folder -> chosen folder or "".
    std::function<QString(const QString &, QWidget *, const QString &)> browseFolder;
    // The colour chooser: owner, stored colour (0x00BBGGRR), title -> the
    // chosen colour, or nothing when cancelled.
    std::function<std::optional<int>(QWidget *, int, const QString &)> chooseColor;
    // The device paths of this computer's serial ports.
    std::function<QStringList()> systemPorts;
};
// Empty members mean the real services.
CncSetupHooks &cncSetupHooks();

QString cncBrowseFolder(const QString &prompt, QWidget *owner, const QString &initialFolder);
std::optional<int> cncChooseColor(QWidget *owner, int colour, const QString &title);
QStringList cncSystemPorts();

}
