#pragma once

#include <QStringList>

#include "core/catalog/CatalogTree.h"
#include "gui/shell/CommandDialog.h"

class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace melodrix {

class IProgressSink;
class IPromptSink;
class TFMMain;
class TFrmCatTree;

// What an export works on: the tree the main window's content view shows (library catalogs
// are read from their files), and how the export talks to the user.
struct TExportSources {
    const TCatalogTree& Screen;
    IProgressSink& Progress;
    IPromptSink& Prompt;
    QString ScreenCatalog;  // the catalog file the screen shows; empty for hits
};

// The export dialog: the source (the content view or a library catalog), the columns
// and the format. OK remembers the column ticks in the configuration, then exports.
class TFMExport final : public TCommandDialog {
    Q_OBJECT
public:
    TFMExport(const TExportSources& sources, QWidget* parent = nullptr);
    ~TFMExport() override;

    // The library catalog to export; empty for the current screen. Set before showing
    // to preselect a catalog.
    QString ExportCatalogPath;
    // The file the export wrote; empty when it wrote none.
    QString ExportedFile;

    TFrmCatTree* FrmCatTree() const { return frmCatTree_; }
    QListWidget* CLBList() const { return clbList_; }
    QRadioButton* RBScreen() const { return rbScreen_; }
    QRadioButton* RBCatalog() const { return rbCatalog_; }
    QRadioButton* RBHTML() const { return rbHtml_; }
    QRadioButton* RBXML() const { return rbXml_; }
    QRadioButton* RBExcel() const { return rbExcel_; }
    QRadioButton* RBCVS() const { return rbCsv_; }
    QRadioButton* RBTxt() const { return rbText_; }
    QLineEdit* EdSep() const { return edSep_; }
    QPushButton* BtnOk() const { return btnOk_; }
    QPushButton* BtnCancel() const { return btnCancel_; }

    void UpdateOkButton();
    void BtnOkClick();
    // The names of the ticked columns, in list order.
    QStringList CollectCheckedColumns() const;

protected:
    void PrepareDialog() override;

private:
    void FillColumnList();
    void StoreDefaultExport();
    // True when a file was written.
    bool RunExport(IPromptSink& prompt);

    TExportSources sources_;
    QRadioButton* rbScreen_;
    QRadioButton* rbCatalog_;
    TFrmCatTree* frmCatTree_;
    QListWidget* clbList_;
    QRadioButton* rbHtml_;
    QRadioButton* rbXml_;
    QRadioButton* rbExcel_;
    QRadioButton* rbCsv_;
    QLineEdit* edSep_;
    QRadioButton* rbText_;
    QPushButton* btnOk_;
    QPushButton* btnCancel_;
};

// Shows the export dialog over the main window's content view, modally;
// `catalogPath` preselects a library catalog (empty: the current screen). The status bar
// then names the file written.
void RunExportDialog(TFMMain& main, const QString& catalogPath, QWidget* parent);

// Where the save question of an export opens: the folder of the last export, else the
// user's documents folder, else the home folder.
QString ExportStartFolder();

}  // namespace melodrix
