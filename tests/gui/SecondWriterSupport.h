#pragma once

// Helpers of the tests where "another program" (melodrix-cli, a cron job) changes a catalog
// while the window shows it.
#include <QCoreApplication>
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "GuiTestSupport.h"
#include "core/base/Errors.h"
#include "core/catalogfile/CatalogChange.h"
#include "core/engine/FileInfo.h"
#include "core/scan/ItemEdits.h"
#include "gui/shell/MainWindow.h"
#include "support/ScriptedSinks.h"

namespace melodrix::testing {

// A shown main window whose questions are answered by `prompt`.
inline std::unique_ptr<TFMMain> StartMain(TScriptedPrompt& prompt) {
    auto main = std::make_unique<TFMMain>();
    main->resize(800, 600);
    main->show();
    QCoreApplication::processEvents();
    main->UsePrompt(prompt);
    return main;
}

// What melodrix-cli does to a catalog: one locked change of the file.
inline void ChangeFromShell(const QString& catalog,
                            const std::function<void(TCatalogTree&)>& change) {
    TFileInfo engine;
    ChangeCatalogFile(engine.Progress(), catalog, [&](TCatalogTree& tree, bool) { change(tree); });
}

// What melodrix-cli describe does.
inline void DescribeFromShell(const QString& catalog, const std::string& path,
                              const std::string& text) {
    ChangeFromShell(catalog, [&](TCatalogTree& tree) {
        TCatalogNode* node = FindItem(tree, {path, 0});
        if (!node) {
            throw TMelodrixError(QStringLiteral("no such item"));
        }
        EditCatalogItem(tree, *node, Description, text, false);
    });
}

// The description the catalog file holds for the item at `path`; "<missing>" without one.
inline QString DescriptionInFile(const QString& catalog, const std::string& path) {
    TFileInfo engine;
    TCatalogTree tree;
    engine.OpenCatalogTree(catalog, tree);
    const TCatalogNode* node = FindItem(tree, {path, 0});
    return node ? Text(node, Description) : QStringLiteral("<missing>");
}

}  // namespace melodrix::testing
