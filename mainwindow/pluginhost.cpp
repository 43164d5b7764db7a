#include "mainwindow/pluginhost.h"

#include "core/currentmachine.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/msgbox.h"
#include "core/paths.h"
#include "core/progress.h"
#include "core/sessionstate.h"
#include "documents/frmdocument.h"
#include "documents/pluginfile.h"
#include "documents/statusbar.h"
#include "files/printing.h"
#include "mainwindow/frmmain.h"

#include <QAction>
#include <QEventLoop>
#include <QMenu>
#include <QPluginLoader>
#include <QPointer>
#include <QToolBar>

#include <array>
#include <exception>
#include <functional>
#include <string_view>
#include <type_traits>

namespace lumrik {

static_assert(std::string_view(LUMRIK_PLUGIN_IID) == std::string_view(kPluginIid),
              "the plug-in interface id is spelled once for loading and once for checking");

namespace {

constexpr long kErrObjectNotSet = 91;
const QString kTextSubscript = QStringLiteral("Indexet ligger utanför intervallet");
const QString kTextTypeMismatch = QStringLiteral("Inkompatibla typer");
const QString kTextNoDocument = QStringLiteral("Objektvariabeln är inte angiven");

constexpr int kToolbarButtons = 16;

// The target menu of a registration.
struct Target {
    const char *array;  // the menu item array ("...Plugins"); element 0 is a separator
    const char *menu;   // its menu
    const char *shown;  // a menu made visible by the registration, or nullptr
};

Target targetOf(int intMenu)
{
    switch (intMenu) {
    case 0: return {"mnuFilePlugins", "mnuFile", nullptr};
    case 1: return {"mnuEditPlugins", "mnuEdit", nullptr};
    case 2: return {"mnuViewPlugins", "mnuView", nullptr};
    case 3: return {"mnuMacroPlugins", "mnuMacro", nullptr};
    case 5: return {"mnuTxdRxdPlugins", "mnuTxdRxd", "mnuTxdRxd"};
    case 8: return {"mnuToolsPlugins", "mnuTools", "mnuTools"};
    default: return {"mnuNcOptionsPlugins", "mnuNcOptions", nullptr};
    }
}

const char *const kArrays[] = {"mnuFilePlugins",   "mnuEditPlugins",  "mnuViewPlugins",     "mnuMacroPlugins",
                               "mnuTxdRxdPlugins", "mnuToolsPlugins", "mnuNcOptionsPlugins"};

QVariant i2(int v) { return QVariant::fromValue<qint16>(qint16(qBound(-32768, v, 32767))); }
QVariant i4(int v) { return QVariant::fromValue<qint32>(qint32(v)); }

// The value a member names in the session's settings, print settings, search
// state or feature switches, as it is when a plug-in asks.
template <typename T>
const T &current(T SettingValues::*member)
{
    return programSession().settings().values().*member;
}
template <typename T>
const T &current(T PrintValues::*member)
{
    return programSession().print().values().*member;
}
template <typename T>
const T &current(T SearchValues::*member)
{
    return programSession().search().values().*member;
}
template <typename T>
const T &current(T FeatureValues::*member)
{
    return programSession().features().values().*member;
}

}

// ---------------------------------------------------------------------------
// The host object of one plug-in

class PluginHost::Access final : public RkPluginHost {
public:
    Access(PluginHost *host, int index) : h(host), index(index) {}

    void RegisterPlugin(qint16 intMenu, const QString &strMenuName, qint16 intStartupArgument, bool bToolbar,
                        const QString &sToolbarToolTip, qint16 iIconIndex) override
    {
        if (index >= 0)
            h->RegisterPlugin(index, intMenu, strMenuName, intStartupArgument, bToolbar, sToolbarToolTip, iIconIndex);
    }
    void DisableEvents(QObject *e) override
    {
        if (index >= 0)
            h->DisableEvents(e);
    }
    bool IsDisabledEvents(QObject *o) override { return h->IsDisabledEvents(o); }
    QByteArray plugin_GetEditText() override { return h->plugin_GetEditText(); }
    void plugin_SetEditText(const QByteArray &text) override { h->plugin_SetEditText(text); }
    void plugin_AddEditText(const QByteArray &text) override { h->plugin_AddEditText(text); }
    void plugin_InsertEditText(const QByteArray &text) override { h->plugin_InsertEditText(text); }
    qint32 plugin_GetTextRowCount() override { return h->plugin_GetTextRowCount(); }
    QByteArray plugin_GetTextRow(qint32 lRow) override { return h->plugin_GetTextRow(lRow); }
    void plugin_SetTextRow(qint32 lRow, const QByteArray &text) override { h->plugin_SetTextRow(lRow, text); }
    bool NumKbdDec() override { return PluginHost::NumKbdDec(); }
    bool UpperCase() override { return PluginHost::UpperCase(); }
    QString GetConfigFolder(const QString &sFolder) override { return PluginHost::GetConfigFolder(sFolder); }
    QVariant pReadGlobal(const QString &g) override { return PluginHost::pReadGlobal(g); }
    QWidget *mainWidget() override { return h->mainWidget(); }
    QObject *control(const QString &name) override { return h->control(name); }

    PluginHost *h;
    int index; // -1 for a plug-in left out: its registrations are ignored
};

struct PluginHost::Plugin {
    QString file;
    QPointer<QObject> root;
    RkPlugin *plugin = nullptr;
    std::unique_ptr<Access> host;
};

struct PluginHost::Snapshot {
    struct Button {
        QString tip, text;
        QIcon icon;
        bool visible = false;
        QVariant tag;
    };
    QHash<QString, int> itemCounts;
    std::array<Button, kToolbarButtons> buttons;
    bool txdRxdVisible = true, toolsVisible = false;
    qsizetype disabledCount = 0;
};

// ---------------------------------------------------------------------------

PluginHost::PluginHost(frmMain *w) : QObject(w), w_(w)
{
    setObjectName(QStringLiteral("pluginHost"));
    gDisabledEvents.append(QPointer<QObject>()); // slot 0 stays empty
    connect(w->tbPlugins, &QToolBar::actionTriggered, this,
            [this](QAction *a) { runPluginCommand(a->property("tag").toString()); });
    // View > Toolbar shows the cool bar again; the plug-in band goes with it
    // when it has buttons.
    if (QAction *tb = w->menuAction(QStringLiteral("mnuViewToolbar")))
        connect(tb, &QAction::triggered, this, [this] { syncToolbar(); });
    setPluginCatalog(this);
}

PluginHost::~PluginHost()
{
    if (pluginCatalog() == this)
        setPluginCatalog(nullptr);
}

PluginHost *PluginHost::of(frmMain *w)
{
    return w ? w->findChild<PluginHost *>(QStringLiteral("pluginHost"), Qt::FindDirectChildrenOnly) : nullptr;
}

RkPluginHost *PluginHost::hostFor(int index) const
{
    return index >= 0 && index < int(gPlugins.size()) ? gPlugins[size_t(index)]->host.get() : nullptr;
}

RkPlugin *PluginHost::plugin(int index) const
{
    return index >= 0 && index < int(gPlugins.size()) ? gPlugins[size_t(index)]->plugin : nullptr;
}

QObject *PluginHost::pluginObject(int index) const
{
    return index >= 0 && index < int(gPlugins.size()) ? gPlugins[size_t(index)]->root.data() : nullptr;
}

QList<QAction *> PluginHost::menuItems(const QString &arrayName) const
{
    QList<QAction *> out;
    for (const QPointer<QAction> &a : menuItems_.value(arrayName))
        if (a)
            out << a;
    return out;
}

// ---------------------------------------------------------------------------
// Discovery

void PluginHost::LookForPlugins()
{
    RkGuard("LookForPlugins()", [&] {
        startFailures_.clear();
        notLoaded_.clear();
        const QString folder = pluginsFolder();
        if (!RkFolderExists(folder))
            return;
        const PluginSelection selection = selectPluginLibraries(folder);
        notLoaded_ = selection.refused;
        for (const QString &file : selection.load) {
            QString why;
            bool refused = false;
            if (loadPluginLibrary(file, &why, &refused))
                continue;
            (refused ? notLoaded_ : startFailures_) << GetFileNamePart(file) + QStringLiteral(": ") + why;
        }
        if (!startFailures_.isEmpty())
            RkMsgBox(kPluginStartFailure + QStringLiteral("\r\n\r\n") + startFailures_.join(QStringLiteral("\r\n")),
                     MbButtons::Ok, MbIcon::Critical, kPluginStartFailureTitle, 0, w_);
        if (!notLoaded_.isEmpty())
            RkMsgBox(pluginsNotLoadedMessage(notLoaded_), MbButtons::Ok, MbIcon::Exclamation, kPluginsTitle, 0, w_);
    });
}

bool PluginHost::loadPluginLibrary(const QString &path, QString *error, bool *refused)
{
    auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    // Opened once: what is checked and what is loaded are the same bytes,
    // whatever is renamed in the folder meanwhile.
    const PluginFile library(path);
    QString reason = library.ok() ? pluginReplacedReason(pluginProgId(path), library.fingerprint()) : library.reason();
    if (refused)
        *refused = !reason.isEmpty();
    if (!reason.isEmpty())
        return fail(reason);
    // Checked first in a process of its own: a library that crashes, hangs or
    // throws while it loads never gets into the editor.
    reason = checkOpenedPlugin(library);
    if (!reason.isEmpty())
        return fail(reason);
    QPluginLoader loader(library.copyPath());
    loader.setLoadHints(QLibrary::ResolveAllSymbolsHint);
    QObject *root = nullptr;
    try {
        root = loader.instance();
    } catch (...) {
        return fail(QStringLiteral("fel när den laddades (\"%1\")").arg(pluginExceptionText()));
    }
    if (!root)
        return fail(QStringLiteral("plugin-objektet kan inte skapas"));
    auto *p = qobject_cast<RkPlugin *>(root);
    if (!p)
        return fail(QStringLiteral("saknar gränssnittet för Lumrik32-plugin:er"));
    for (const auto &e : gPlugins)
        if (e->root == root)
            return fail(QStringLiteral("samma plugin som %1").arg(GetFileNamePart(e->file)));
    QString why;
    if (!addPlugin(p, root, path, &why))
        return fail(QStringLiteral("fel vid start (\"%1\")").arg(why));
    // The library stays loaded until the program ends (the loader object
    // going away does not unload it).
    return true;
}

bool PluginHost::addPlugin(RkPlugin *plugin, QObject *root, const QString &file, QString *error)
{
    const int index = int(gPlugins.size());
    auto entry = std::make_unique<Plugin>();
    entry->file = file;
    entry->root = root;
    entry->plugin = plugin;
    entry->host = std::make_unique<Access>(this, index);
    RkPluginHost *host = entry->host.get();
    gPlugins.push_back(std::move(entry));

    const Snapshot before = takeSnapshot();
    const int outer = starting_;
    const auto outerPending = std::exchange(pendingTakeOvers_, {});
    starting_ = index;
    bool failed = false;
    QString why;
    try {
        plugin->sethost(host);
    } catch (...) {
        failed = true;
        why = pluginExceptionText();
    }
    starting_ = outer;
    const auto pending = std::exchange(pendingTakeOvers_, outerPending);
    if (failed) {
        // What it registered goes; the object is kept (never called again),
        // since it may still be connected to something.
        rollBack(before);
        gPlugins[size_t(index)]->host->index = -1;
        leftOut_.push_back(std::move(gPlugins[size_t(index)]));
        gPlugins.erase(gPlugins.begin() + index);
        if (error)
            *error = why;
        return false;
    }
    for (const QPointer<QObject> &e : pending)
        if (e)
            takeOver(e);
    return true;
}

PluginHost::Snapshot PluginHost::takeSnapshot() const
{
    Snapshot s;
    for (const char *a : kArrays)
        s.itemCounts.insert(QString::fromLatin1(a), int(menuItems(QString::fromLatin1(a)).size()));
    const auto acts = w_->tbPlugins->actions();
    for (int i = 0; i < kToolbarButtons && i < acts.size(); ++i) {
        QAction *b = acts[i];
        s.buttons[size_t(i)] = {b->toolTip(), b->text(), b->icon(), b->isVisible(), b->property("tag")};
    }
    if (QAction *m = w_->menuAction(QStringLiteral("mnuTxdRxd")))
        s.txdRxdVisible = m->isVisible();
    if (QAction *m = w_->menuAction(QStringLiteral("mnuTools")))
        s.toolsVisible = m->isVisible();
    s.disabledCount = gDisabledEvents.size();
    return s;
}

void PluginHost::rollBack(const Snapshot &s)
{
    for (auto it = menuItems_.begin(); it != menuItems_.end(); ++it) {
        QList<QPointer<QAction>> &items = it.value();
        items.removeAll(QPointer<QAction>());
        const int keep = s.itemCounts.value(it.key(), 0);
        while (items.size() > keep)
            delete items.takeLast().data();
    }
    const auto acts = w_->tbPlugins->actions();
    for (int i = 0; i < kToolbarButtons && i < acts.size(); ++i) {
        const Snapshot::Button &b = s.buttons[size_t(i)];
        acts[i]->setToolTip(b.tip);
        acts[i]->setText(b.text);
        acts[i]->setIcon(b.icon);
        acts[i]->setVisible(b.visible);
        acts[i]->setProperty("tag", b.tag);
    }
    if (QAction *m = w_->menuAction(QStringLiteral("mnuTxdRxd")))
        m->setVisible(s.txdRxdVisible);
    if (QAction *m = w_->menuAction(QStringLiteral("mnuTools")))
        m->setVisible(s.toolsVisible);
    while (gDisabledEvents.size() > s.disabledCount)
        gDisabledEvents.removeLast();
    syncToolbar();
}

// ---------------------------------------------------------------------------
// Registration and commands

void PluginHost::RegisterPlugin(int index, qint16 intMenu, const QString &strMenuName, qint16 intStartupArgument,
                                bool bToolbar, const QString &sToolbarToolTip, qint16 iIconIndex)
{
    RkGuard("RegisterPlugin()", [&] {
        const Target t = targetOf(intMenu);
        if (t.shown)
            if (QAction *m = w_->menuAction(QString::fromLatin1(t.shown)))
                m->setVisible(true);
        const QString array = QString::fromLatin1(t.array);
        const QString tag = QStringLiteral("%1.%2").arg(index).arg(intStartupArgument);
        int n = 0;
        if (!strMenuName.isEmpty()) {
            QList<QPointer<QAction>> &items = menuItems_[array];
            items.removeAll(QPointer<QAction>());
            n = int(items.size()) + 1;
            QMenu *menu = w_->menu(QString::fromLatin1(t.menu));
            if (!menu)
                throw RkError(kErrObjectNotSet, kTextNoDocument);
            // Directly below element 0 and the items added before.
            QAction *last = items.isEmpty() ? w_->menuAction(array + '0') : items.last().data();
            const auto acts = menu->actions();
            const qsizetype pos = acts.indexOf(last);
            QAction *before = pos >= 0 ? acts.value(pos + 1, nullptr) : nullptr;
            auto *a = new QAction(strMenuName + '*', menu);
            a->setObjectName(array + QString::number(n));
            a->setProperty("tag", tag);
            menu->insertAction(before, a);
            a->setVisible(true);
            items << a;
            connect(a, &QAction::triggered, this, [this, a] { runPluginCommand(a->property("tag").toString()); });
        }
        if (bToolbar) {
            // Button n: the index the command's menu item received.
            const auto acts = w_->tbPlugins->actions();
            if (n < 1 || n > kToolbarButtons || n > acts.size())
                throw RkError(kErrSubscript, kTextSubscript);
            QAction *b = acts[n - 1];
            b->setToolTip(sToolbarToolTip);
            b->setText(sToolbarToolTip);
            const QIcon picture = pluginPicture(iIconIndex);
            if (picture.isNull())
                throw RkError(kErrSubscript, kTextSubscript);
            b->setIcon(picture);
            b->setVisible(true);
            b->setProperty("tag", tag);
            syncToolbar();
        }
    });
}

void PluginHost::syncToolbar()
{
    bool any = false;
    for (QAction *a : w_->tbPlugins->actions())
        any = any || a->isVisible();
    w_->tbPlugins->setVisible(any && w_->coolBarVisible());
}

void PluginHost::runPluginCommand(const QString &tag)
{
    if (LongWork::underWay()) {
        // A plug-in's command sees the finished programs: it runs once the
        // work under way is over, in its turn.
        LongWork::whenDone(w_, [this, tag] { runPluginCommand(tag); });
        return;
    }
    try {
        const QStringList parts = tag.split('.');
        if (parts.size() < 2)
            throw RkError(kErrTypeMismatch, kTextTypeMismatch);
        bool okIndex = false, okCommand = false;
        const int index = parts[0].trimmed().toInt(&okIndex);
        const int command = parts[1].trimmed().toInt(&okCommand);
        if (!okIndex || !okCommand || command < -32768 || command > 32767)
            throw RkError(kErrTypeMismatch, kTextTypeMismatch);
        RkPlugin *p = plugin(index);
        if (!p)
            throw RkError(kErrSubscript, kTextSubscript);
        p->startup(qint16(command));
    } catch (...) {
        RkMsgBox(pluginExceptionText(), MbButtons::Ok, MbIcon::None, QString(), 0, w_);
    }
}

// ---------------------------------------------------------------------------
// Take-over of built-in commands

void PluginHost::DisableEvents(QObject *e)
{
    RkGuard("DisableEvents()", [&] {
        gDisabledEvents.append(QPointer<QObject>(e));
        if (starting_ >= 0)
            pendingTakeOvers_ << QPointer<QObject>(e); // in force once the plug-in has started
        else
            takeOver(e);
    });
}

bool PluginHost::IsDisabledEvents(QObject *o)
{
    return RkGuard("IsDisabledEvents()", [&] {
        if (!o)
            return false;
        for (qsizetype i = 1; i < gDisabledEvents.size(); ++i)
            if (gDisabledEvents[i] && gDisabledEvents[i]->objectName() == o->objectName())
                return true;
        return false;
    });
}

// A menu item of the main window stops running its built-in command: its own
// clicks reach only those connected to it (the plug-in), and the command's
// toolbar buttons and other callers trigger the item instead.
void PluginHost::takeOver(QObject *e)
{
    auto *a = qobject_cast<QAction *>(e);
    if (!a || takenOver_.contains(a) || w_->menuAction(a->objectName()) != a)
        return;
    takenOver_ << a;
    QObject::disconnect(a, &QAction::triggered, w_, nullptr);
    const QString command = a->property("command").toString();
    if (!command.isEmpty() && command == a->objectName()) {
        QPointer<QAction> item(a);
        w_->setCommand(command, [this, item] {
            if (!item)
                return;
            try {
                Q_EMIT item->triggered(item->isChecked());
            } catch (...) {
                RkMsgBox(pluginExceptionText(), MbButtons::Ok, MbIcon::None, QString(), 0, w_);
            }
        });
    }
}

// ---------------------------------------------------------------------------
// Document and settings methods

frmDocument *PluginHost::activeDoc()
{
    frmDocument *d = w_->activeDocument();
    if (!d || !d->txtText)
        throw RkError(kErrObjectNotSet, kTextNoDocument);
    return d;
}

void PluginHost::changeText(const std::function<void(Editor *)> &change)
{
    frmDocument *d = activeDoc();
    if (d->busy()) {
        // A program under long work is changed once the work is over.
        const QPointer<frmDocument> doc(d);
        LongWork::whenDone(d, [doc, change] {
            RkGuard("PluginHost()", [&] {
                if (doc)
                    changeTextOf(doc->txtText, change);
            });
        });
        return;
    }
    changeTextOf(d->txtText, change);
}

void PluginHost::changeTextOf(Editor *e, const std::function<void(Editor *)> &change)
{
    // A plug-in changes the text also of a read-only program or a hex view:
    // only the user's typing is locked out there, and such a window is never
    // saved back over its file.
    const bool locked = e->ReadOnly();
    e->setReadOnly(false);
    try {
        change(e);
    } catch (...) {
        e->setReadOnly(locked);
        throw;
    }
    e->setReadOnly(locked);
    RkUpdateGlobalStatus();
}

frmDocument *PluginHost::readableDoc()
{
    frmDocument *d = activeDoc();
    if (!d->busy())
        return d;
    // A program under long work is read once the work is over: what a plug-in
    // reads, and may write back, is the finished text, never the text before
    // it or half of the result.
    QEventLoop loop;
    bool over = false;
    LongWork::whenDone(nullptr, [&] {
        over = true;
        loop.quit();
    });
    if (!over)
        loop.exec();
    return activeDoc();
}

QByteArray PluginHost::plugin_GetEditText()
{
    const ProgramDocument *program = readableDoc()->program();
    return program->text(program->lineEnds());
}

void PluginHost::plugin_SetEditText(const QByteArray &text)
{
    changeText([text](Editor *e) { e->program()->setText(text); });
}

namespace {

// The text with `before` and `after` around it, made in one copy.
QByteArray textWith(Editor *e, QByteArrayView before, QByteArrayView after)
{
    const QByteArrayView now = e->program()->textView();
    QByteArray all;
    all.reserve(before.size() + now.size() + after.size());
    return all.append(before).append(now).append(after);
}

}

void PluginHost::plugin_AddEditText(const QByteArray &text)
{
    changeText([text](Editor *e) { e->program()->setText(textWith(e, {}, text)); });
}

void PluginHost::plugin_InsertEditText(const QByteArray &text)
{
    changeText([text](Editor *e) { e->program()->setText(textWith(e, text, {})); });
}

qint32 PluginHost::plugin_GetTextRowCount() { return readableDoc()->program()->lineCount(); }

QByteArray PluginHost::plugin_GetTextRow(qint32 lRow)
{
    frmDocument *d = readableDoc();
    d->txtText->setTextIndex(lRow); // the editor's current line, as it always was
    QByteArray t = d->program()->line(lRow);
    qsizetype i = 0;
    while (i < t.size() && t[i] == ' ')
        ++i;
    return t.mid(i);
}

void PluginHost::plugin_SetTextRow(qint32 lRow, const QByteArray &text)
{
    changeText([lRow, text](Editor *e) {
        const bool insert = e->InsertMode();
        e->setInsertMode(false);
        try {
            e->setTextIndex(lRow);
            e->setText(text);
        } catch (...) {
            e->setInsertMode(insert); // the user's typing mode survives a bad line number
            throw;
        }
        e->setInsertMode(insert);
    });
}

bool PluginHost::NumKbdDec() { return programSession().settings().values().numKbdDec; }
bool PluginHost::UpperCase() { return programSession().settings().values().upperCase; }
QString PluginHost::GetConfigFolder(const QString &sFolder) { return GetDefaultPath(sFolder); }

QVariant PluginHost::pReadGlobal(const QString &g)
{
    using Reader = std::function<QVariant()>;
    static const std::vector<std::pair<QString, Reader>> table = [] {
        std::vector<std::pair<QString, Reader>> t;
        // Each entry reads a program-wide variable, or a value of the
        // session's settings, print settings, search state or feature
        // switches, when the plug-in asks.
        auto add = [&t](const char *name, const auto &v, auto form) {
            if constexpr (std::is_member_object_pointer_v<std::decay_t<decltype(v)>>)
                t.emplace_back(name, [member = v, form] { return form(current(member)); });
            else
                t.emplace_back(name, [&v, form] { return form(v); });
        };
        auto b = [&add](const char *name, const auto &v) { add(name, v, [](bool x) { return QVariant(x); }); };
        auto s16 = [&add](const char *name, const auto &v) { add(name, v, [](int x) { return i2(x); }); };
        auto s32 = [&add](const char *name, const auto &v) { add(name, v, [](int x) { return i4(x); }); };
        auto s = [&add](const char *name, const auto &v) { add(name, v, [](const QString &x) { return QVariant(x); }); };
        // The current machine's, under the names the plug-ins have always read.
        auto m32 = [&t](const char *name, std::function<int(const MachineKeys &)> f) {
            t.emplace_back(name, [f = std::move(f)] { return i4(f(currentMachine().keys())); });
        };
        auto ms = [&t](const char *name, std::function<QString(const CurrentMachine &)> f) {
            t.emplace_back(name, [f = std::move(f)] { return QVariant(f(currentMachine())); });
        };
        // The active program's, under the same old names.
        auto ab = [&t](const char *name, std::function<bool(const ActiveProgram &)> f) {
            t.emplace_back(name, [f = std::move(f)] { return QVariant(f(programSession().active())); });
        };
        auto a16 = [&t](const char *name, std::function<int(const ActiveProgram &)> f) {
            t.emplace_back(name, [f = std::move(f)] { return i2(f(programSession().active())); });
        };
        auto as = [&t](const char *name, std::function<QString(const ActiveProgram &)> f) {
            t.emplace_back(name, [f = std::move(f)] { return QVariant(f(programSession().active())); });
        };
        b("gbNotSwedish", gbNotSwedish);
        b("gbShowAllFiles", &SettingValues::showAllFiles);
        b("gRkAbort", gRkAbort);
        b("gSearchWholeWordsOnly", &SearchValues::wholeWordsOnly);
        b("gUseGADb", &FeatureValues::gaDb);
        b("gNumberSort", &SettingValues::numberSort);
        b("gNumKbdDec", &SettingValues::numKbdDec);
        b("gUpperCase", &SettingValues::upperCase);
        b("gNoBack", &SettingValues::noBack);
        b("gKollegieBlock", &SettingValues::kollegieBlock);
        b("gScanComment", &SettingValues::scanComment);
        b("gsUseKalmero", &SettingValues::useKalmero);
        ab("gbInsertMode", [](const ActiveProgram &a) { return a.insertMode(); });
        ab("gbIsDirty", [](const ActiveProgram &a) { return a.isDirty(); });
        b("gPrintBoldComments", &PrintValues::boldComments);
        b("gPrintItalicComments", &PrintValues::italicComments);
        b("gPrintTime", &PrintValues::time);
        b("gUseCncComm", &FeatureValues::cncComm);
        b("gUseDecCheck", &FeatureValues::decCheck);
        b("gUseHelix", &FeatureValues::helix);
        b("gUseMacro", &FeatureValues::macro);
        b("gUseSubFix", &FeatureValues::subFix);
        b("gUseMacBild", &FeatureValues::macBild);
        b("gUseTapePunch", &FeatureValues::tapePunch);
        b("gSetupAllowed", &SettingValues::setupAllowed);
        b("gMakeBackup", &FeatureValues::makeBackup);

        s16("gSearchOrigin", &SearchValues::origin);
        s16("gSearchTo", &SearchValues::to);
        s16("gSearchAction", &SearchValues::action);
        s16("gFindDirection", &SearchValues::findDirection);
        a16("gTextType", [](const ActiveProgram &a) { return a.textType(); });
        s16("gSaveAsUnixType", &SettingValues::saveAsUnixType);
        s16("gTextFontSize", &SettingValues::textFontSize);
        s16("gPrinterFontSize", &PrintValues::fontSize);
        s16("gPrintColumns", &PrintValues::columns);
        s16("gMaxComPorts", &SettingValues::maxComPorts);
        s16("gScrollbarShow", &SettingValues::scrollbarShow);

        s32("gOldLeft", &SettingValues::mainLeft);
        s32("gOldTop", &SettingValues::mainTop);
        s32("gOldWidth", &SettingValues::mainWidth);
        s32("gOldHeight", &SettingValues::mainHeight);
        s32("gFileSelectLeft", &SettingValues::fileLeft);
        s32("gFileSelectTop", &SettingValues::fileTop);
        s32("gFileSelectWidth", &SettingValues::fileWidth);
        s32("gFileSelectHeight", &SettingValues::fileHeight);
        s32("gTextColor", &SettingValues::textColor);
        s32("gTextBackColor", &SettingValues::textBackColor);
        m32("gCommentColor", [](const MachineKeys &k) { return k.commentColor; });
        static const char *const colours[] = {"gCodeColor1", "gCodeColor2", "gCodeColor3", "gCodeColor4",
                                              "gCodeColor5", "gCodeColor6", "gCodeColor7", "gCodeColor8"};
        for (size_t i = 0; i < 8; ++i)
            m32(colours[i], [i](const MachineKeys &k) { return k.codeColor[i]; });
        s32("gPrintTMargin", &PrintValues::topMargin);
        s32("gPrintBMargin", &PrintValues::bottomMargin);
        s32("gPrintLMargin", &PrintValues::leftMargin);
        s32("gPrintRMargin", &PrintValues::rightMargin);

        ms("gsRootFolder", [](const CurrentMachine &m) { return m.keys().rootFolder; });
        as("gsActiveFile", [](const ActiveProgram &a) { return a.file(); });
        as("gsActivePath", [](const ActiveProgram &a) { return a.path(); });
        s("gsTmpPath", gsTmpPath);
        s("gsDataPath", gsDataPath);
        s("gSearchReplacement", &SearchValues::replacement);
        s("gSearchTarget", &SearchValues::target);
        s("gFindString", &SearchValues::findString);
        ms("gsFileExtension", [](const CurrentMachine &m) { return m.keys().fileExtension; });
        s("gsShowFileExt", &SettingValues::showFileExt);
        s("gsKalmeroPath", &SettingValues::kalmeroPath);
        s("gsProgramInfoPath", &SettingValues::programInfoPath);
        as("gsActiveFileName", [](const ActiveProgram &a) { return a.fileName(); });
        ms("gActiveCfgFile", [](const CurrentMachine &m) { return m.file(); });
        ms("gActiveCfg", [](const CurrentMachine &m) { return m.name(); });
        s("gDefaultTile", &SettingValues::defaultTile);
        s("gTextFont", &SettingValues::textFont);
        static const char *const texts[] = {"gsCodeText1", "gsCodeText2", "gsCodeText3", "gsCodeText4",
                                            "gsCodeText5", "gsCodeText6", "gsCodeText7", "gsCodeText8"};
        for (size_t i = 0; i < 8; ++i)
            ms(texts[i], [i](const CurrentMachine &m) { return m.keys().codeText[i]; });
        s("gPrinterFont", &PrintValues::font);
        s("GsTotalNumberofPages", GsTotalNumberofPages);
        s("GsPrinterHeader", GsPrinterHeader);
        s("GsPrintDate", GsPrintDate);
        s("gsDecCheckBlockChars", &SettingValues::decCheckBlockChars);
        s("gTitle", &SettingValues::title);
        s("gsToolListChrs", &SettingValues::toolListChrs);
        return t;
    }();
    for (const auto &[name, read] : table)
        if (name == g)
            return read();
    return QVariant(QString());
}

QWidget *PluginHost::mainWidget() { return w_; }

QObject *PluginHost::control(const QString &name)
{
    if (name.isEmpty())
        return nullptr;
    if (name == w_->objectName())
        return w_;
    if (QAction *a = w_->menuAction(name))
        return a;
    return w_->findChild<QObject *>(name);
}

// ---------------------------------------------------------------------------
// The plug-in list of the editor settings

QString PluginHost::pluginFile(int index) const
{
    if (index < 0 || index >= int(gPlugins.size()))
        throw RkError(kErrSubscript, kTextSubscript);
    return gPlugins[size_t(index)]->file;
}

static RkPlugin *checked(RkPlugin *p)
{
    if (!p)
        throw RkError(kErrSubscript, kTextSubscript);
    return p;
}

QString PluginHost::pluginName(int index) { return checked(plugin(index))->PluginName(); }
QString PluginHost::pluginVersion(int index) { return checked(plugin(index))->PluginVersion(); }
QString PluginHost::pluginDesc(int index) { return checked(plugin(index))->PluginDesc(); }
bool PluginHost::pluginCan(int index, int code) { return checked(plugin(index))->can(qint16(code)); }
void PluginHost::pluginSetup(int index) { checked(plugin(index))->setup(); }

}
