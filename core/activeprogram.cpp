#include "core/activeprogram.h"

#include <utility>

namespace lumrik {

void ActiveProgram::activate(QObject *document, std::function<bool()> modified)
{
    modified_ = std::move(modified);
    if (document == document_)
        return;
    document_ = document;
    Q_EMIT documentChanged(document);
}

void ActiveProgram::release(QObject *document)
{
    if (!document || document != document_)
        return;
    document_ = nullptr;
    modified_ = nullptr;
    Q_EMIT documentChanged(nullptr);
}

bool ActiveProgram::isDirty() const { return document_ && modified_ && modified_(); }

void ActiveProgram::setEditor(long editor)
{
    if (editor == editor_)
        return;
    editor_ = editor;
    Q_EMIT editorChanged(editor);
}

void ActiveProgram::releaseEditor(long editor)
{
    if (editor == editor_)
        setEditor(0);
}

void ActiveProgram::setFile(const QString &file)
{
    if (file == file_)
        return;
    file_ = file;
    Q_EMIT fileChanged();
}

void ActiveProgram::setFileName(const QString &name)
{
    if (name == fileName_)
        return;
    fileName_ = name;
    Q_EMIT fileChanged();
}

void ActiveProgram::setPath(const QString &path)
{
    if (path == path_)
        return;
    path_ = path;
    Q_EMIT pathChanged(path);
}

void ActiveProgram::setTextType(int type)
{
    if (type == textType_)
        return;
    textType_ = type;
    Q_EMIT textTypeChanged(type);
}

void ActiveProgram::setInsertMode(bool insert)
{
    if (insert == insertMode_)
        return;
    insertMode_ = insert;
    Q_EMIT insertModeChanged(insert);
}

}
