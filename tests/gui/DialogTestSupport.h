#pragma once

// Helpers shared by the tests of the command dialogs: a main window with scripted
// prompts, library and music fixtures, and driving modal dialogs.
#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <QTreeView>
#include <functional>
#include <memory>

#include "GuiTestSupport.h"
#include "gui/library/FrmCatTree.h"
#include "gui/library/LibraryModel.h"
#include "gui/shell/MainWindow.h"
#include "support/ScriptedSinks.h"

namespace melodrix::testing {

// A started main window whose questions are answered by `prompt`.
inline std::unique_ptr<TFMMain> StartMainWith(TScriptedPrompt& prompt) {
    auto main = std::make_unique<TFMMain>();
    main->UsePrompt(prompt);
    main->show();
    QCoreApplication::processEvents();
    return main;
}

inline TCatalogNode* FindNode(TFrmCatTree& frame, const QString& name) {
    return FindNode(frame.Tree(), name);
}

inline QStringList TopLevelNames(const TCatalogTree& tree) {
    QStringList names;
    for (int i = 0; i < tree.TopLevelCount(); ++i) {
        names << Text(tree.TopLevel(i), FileName);
    }
    return names;
}

// 128 bytes of an ID3v1.1 tag.
inline QByteArray Id3v1Tag(const QByteArray& title, const QByteArray& artist) {
    QByteArray tag("TAG");
    tag += title.leftJustified(30, '\0', true);
    tag += artist.leftJustified(30, '\0', true);
    tag += QByteArray("Album").leftJustified(30, '\0', true);
    tag += QByteArray("1999");
    tag += QByteArray(30, '\0');
    tag += char(17);  // Rock
    return tag;
}

// A catalog file with the given items directly below one root folder item.
struct TCatalogItem {
    QString name;
    QString ext;
    QString description;
    QString type = QStringLiteral("file");
};

inline QByteArray CatalogWithItems(const QString& rootName, const QList<TCatalogItem>& items) {
    QString text =
        QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"utf-8\"?><fileinfo generated=\"Vellumdex\">"
            "<file FileName=\"%1\" FullPath=\"/m/%1\" FileType=\"directory\">")
            .arg(rootName);
    for (const TCatalogItem& item : items) {
        text += QStringLiteral("<file FileName=\"%1\" FullPath=\"/m/%2/%1\" FileType=\"%3\"")
                    .arg(item.name, rootName, item.type);
        if (!item.ext.isNull()) {
            text += QStringLiteral(" FileExt=\"%1\"").arg(item.ext);
        }
        if (!item.description.isNull()) {
            text += QStringLiteral(" Description=\"%1\"").arg(item.description);
        }
        text += QStringLiteral("/>");
    }
    text += QStringLiteral("</file></fileinfo>");
    return text.toUtf8();
}

// Runs `answer` once the modal dialog of type T is the active modal window.
template <typename T>
void WhenDialogOpens(std::function<void(T*)> answer) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            answer(dialog);
        }
    });
    timer->start(10);
}

// The in-place editor of a library tree once it has opened (editing starts deferred).
inline QLineEdit* OpenEditor(TFrmCatTree& frame) {
    for (int i = 0; i < 50; ++i) {
        QCoreApplication::processEvents();
        for (QLineEdit* editor : frame.VTLib()->findChildren<QLineEdit*>()) {
            if (editor->isVisible()) {
                return editor;
            }
        }
    }
    return nullptr;
}

}  // namespace melodrix::testing
