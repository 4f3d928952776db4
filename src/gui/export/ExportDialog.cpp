#include "gui/export/ExportDialog.h"

#include <QButtonGroup>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <memory>

#include "core/base/Errors.h"
#include "core/catalog/Paths.h"
#include "core/config/Config.h"
#include "core/engine/FileInfo.h"
#include "core/export/ExportTexts.h"
#include "gui/library/FrmCatTree.h"
#include "gui/shell/FileIcons.h"
#include "gui/shell/Guard.h"
#include "gui/shell/MainWindow.h"

namespace melodrix {

namespace {

QString TextOf(const TCatalogNode* node, int field) {
    const std::string_view text = node->Item().Field(field);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QRadioButton* MakeRadio(const QString& name, const QString& caption, QButtonGroup* group) {
    auto* button = new QRadioButton(caption);
    button->setObjectName(name);
    group->addButton(button);
    return button;
}

// The export's own save question: it opens in the folder of the last export (at first the
// user's documents folder), not wherever the program happens to run, and notes the file the
// user chose. Every other question goes to the program's prompt as it is.
class TExportPrompt final : public IPromptSink {
public:
    explicit TExportPrompt(IPromptSink& prompt) : prompt_(prompt) {}

    QString ChooseOpenFile(const QString& defaultExtension, const QString& filter,
                           const QString& initialName) override {
        return prompt_.ChooseOpenFile(defaultExtension, filter, initialName);
    }
    QString ChooseSaveFile(const QString& defaultExtension, const QString& filter,
                           const QString& initialName) override {
        QString start = ExportStartFolder();
        if (QFileInfo(initialName).isAbsolute()) {
            start = initialName;
        } else if (!initialName.isEmpty()) {
            start = QDir(start).filePath(initialName);
        }
        chosen_ = prompt_.ChooseSaveFile(defaultExtension, filter, start);
        return chosen_;
    }
    void ShowMessage(const QString& title, const QString& text, TMessageIcon icon) override {
        prompt_.ShowMessage(title, text, icon);
    }
    bool AskYesNo(const QString& title, const QString& text, TMessageIcon icon) override {
        return prompt_.AskYesNo(title, text, icon);
    }
    QString Chosen() const { return chosen_; }

private:
    IPromptSink& prompt_;
    QString chosen_;
};

constexpr const char* kRememberedExport = "exportDialog";

}  // namespace

QString ExportStartFolder() {
    const QString last = GetConfig().ConfigRoot().Remembered(kRememberedExport).Text("folder");
    if (!last.isEmpty() && QFileInfo(last).isDir()) {
        return last;
    }
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir()) {
        return documents;
    }
    return QDir::homePath();
}

TFMExport::TFMExport(const TExportSources& sources, QWidget* parent)
    : TCommandDialog(parent), sources_(sources) {
    setObjectName(QStringLiteral("FMExport"));
    setWindowTitle(QStringLiteral("Catalog Export"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(488, 424);

    auto* sourceGroup = new QButtonGroup(this);
    rbScreen_ = MakeRadio(QStringLiteral("RBScreen"), QStringLiteral("Export From Current Screen"),
                          sourceGroup);
    rbCatalog_ = MakeRadio(QStringLiteral("RBCatalog"),
                           QStringLiteral("Export From Selected Catalog"), sourceGroup);
    rbCatalog_->setChecked(true);
    frmCatTree_ = new TFrmCatTree;

    clbList_ = new QListWidget;
    clbList_->setObjectName(QStringLiteral("CLBList"));
    clbList_->setUniformItemSizes(true);
    clbList_->setStyleSheet(QStringLiteral("QListWidget::item { height: 18px; }"));

    auto* formatGroup = new QButtonGroup(this);
    TFileIcons icons;
    const auto format = [&](const QString& name, const QString& caption, const QString& sample) {
        QRadioButton* button = MakeRadio(name, caption, formatGroup);
        button->setIcon(icons.ForFileName(sample));
        return button;
    };
    rbHtml_ =
        format(QStringLiteral("RBHTML"), QStringLiteral("HTML Format"), QStringLiteral("x.html"));
    rbXml_ = format(QStringLiteral("RBXML"), QStringLiteral("XML Format"), QStringLiteral("x.xml"));
    rbExcel_ = format(QStringLiteral("RBExcel"), QStringLiteral("Microsoft Excel Format"),
                      QStringLiteral("x.xlsx"));
    rbCsv_ = format(QStringLiteral("RBCVS"), QStringLiteral("CSV Format"), QStringLiteral("x.csv"));
    rbText_ =
        format(QStringLiteral("RBTxt"), QStringLiteral("TEXT Format "), QStringLiteral("x.txt"));
    rbHtml_->setChecked(true);
    edSep_ = new QLineEdit(QStringLiteral(","));
    edSep_->setObjectName(QStringLiteral("EdSep"));
    edSep_->setFixedWidth(40);
    edSep_->setToolTip(QStringLiteral("CSV separator"));

    btnOk_ = new QPushButton(QStringLiteral("&OK"));
    btnOk_->setObjectName(QStringLiteral("BtnOk"));
    btnOk_->setDefault(true);
    btnCancel_ = new QPushButton(QStringLiteral("&Cancel"));
    btnCancel_->setObjectName(QStringLiteral("BtnCancel"));

    auto* left = new QVBoxLayout;
    left->addWidget(rbScreen_);
    left->addWidget(rbCatalog_);
    left->addWidget(frmCatTree_, 1);

    auto* formats = new QGroupBox(QStringLiteral("Format"));
    auto* formatLayout = new QVBoxLayout(formats);
    formatLayout->addWidget(rbHtml_);
    formatLayout->addWidget(rbXml_);
    formatLayout->addWidget(rbExcel_);
    auto* csvRow = new QHBoxLayout;
    csvRow->addWidget(rbCsv_);
    csvRow->addWidget(edSep_);
    csvRow->addStretch(1);
    formatLayout->addLayout(csvRow);
    formatLayout->addWidget(rbText_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk_);
    buttons->addWidget(btnCancel_);

    auto* right = new QVBoxLayout;
    right->addWidget(new QLabel(QStringLiteral("Columns to export:")));
    right->addWidget(clbList_, 1);
    right->addWidget(formats);
    right->addLayout(buttons);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addLayout(left, 1);
    layout->addLayout(right, 1);

    const auto guarded = [this](void (TFMExport::*handler)()) {
        return [this, handler] { IgnoreException([&] { (this->*handler)(); }); };
    };
    connect(rbScreen_, &QRadioButton::clicked, this, guarded(&TFMExport::UpdateOkButton));
    connect(rbCatalog_, &QRadioButton::clicked, this, guarded(&TFMExport::UpdateOkButton));
    connect(frmCatTree_, &TFrmCatTree::Change, this, guarded(&TFMExport::UpdateOkButton));
    connect(frmCatTree_, &TFrmCatTree::FocusChanged, this, guarded(&TFMExport::UpdateOkButton));
    connect(btnOk_, &QPushButton::clicked, this, guarded(&TFMExport::BtnOkClick));
    connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);
}

TFMExport::~TFMExport() {
    // The tree outlives this part of the dialog; its last selection changes must not
    // reach a dialog that is half gone.
    frmCatTree_->disconnect(this);
}

void TFMExport::FillColumnList() {
    clbList_->clear();
    for (const TColumnSpec& column : GetConfig().Columns()) {
        auto* entry = new QListWidgetItem(column.Name, clbList_);
        entry->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        entry->setCheckState(column.DefaultExport ? Qt::Checked : Qt::Unchecked);
    }
}

void TFMExport::PrepareDialog() {
    FillColumnList();
    frmCatTree_->LoadLibraryTree(GetConfig().LibraryPath(), false);
    if (ExportCatalogPath.isEmpty()) {
        rbScreen_->setChecked(true);
    } else {
        const TCatalogTree& tree = frmCatTree_->Tree();
        for (TCatalogNode* node = tree.GetFirst(); node; node = tree.GetNext(node)) {
            if (TextOf(node, FullPath) == ExportCatalogPath) {
                frmCatTree_->FocusNode(node);
                break;
            }
        }
    }
    UpdateOkButton();
}

void TFMExport::UpdateOkButton() {
    const TCatalogNode* node = frmCatTree_->FocusedNode();
    btnOk_->setEnabled(rbScreen_->isChecked() || (node && node->Item().IsFile()));
}

QStringList TFMExport::CollectCheckedColumns() const {
    QStringList names;
    for (int i = 0; i < clbList_->count(); ++i) {
        if (clbList_->item(i)->checkState() == Qt::Checked) {
            names.append(clbList_->item(i)->text());
        }
    }
    return names;
}

void TFMExport::StoreDefaultExport() {
    TConfig& config = GetConfig();
    const TXMLNodesType nodes = config.ConfigRoot().Nodes();
    for (int i = 0; i < nodes.Count() && i < clbList_->count(); ++i) {
        nodes.Node(i).SetDefaultExport(clbList_->item(i)->checkState() == Qt::Checked);
    }
    config.SaveConfig();
}

void TFMExport::BtnOkClick() {
    // The ticks are remembered even when nothing is exported after all.
    StoreDefaultExport();
    if (rbCatalog_->isChecked()) {
        const TCatalogNode* node = frmCatTree_->FocusedNode();
        if (!node || !node->Item().IsFile()) {
            return;
        }
        ExportCatalogPath = TextOf(node, FullPath);
    } else {
        ExportCatalogPath.clear();
    }
    setResult(QDialog::Accepted);
    repaint();
    TExportPrompt prompt(sources_.Prompt);
    try {
        if (RunExport(prompt)) {
            ExportedFile = prompt.Chosen();
        }
    } catch (const TMelodrixError& error) {
        // An unreadable catalog or an export file that could not be written.
        sources_.Prompt.ShowMessage(kWarningTitle, error.Message(), TMessageIcon::Warning);
    }
    if (!ExportedFile.isEmpty()) {
        // The next export asks in the same folder, in this run and the next.
        TConfig& config = GetConfig();
        config.ConfigRoot()
            .Remembered(kRememberedExport)
            .SetText("folder", QFileInfo(ExportedFile).absolutePath());
        try {
            config.SaveConfig();
        } catch (const TMelodrixError&) {
            // The export is done; the folder is written with the window layout at the end.
        }
    }
    accept();
}

bool TFMExport::RunExport(IPromptSink& prompt) {
    TFileInfo info(sources_.Progress, prompt);
    // A page is titled by the catalog on screen.
    info.CatalogFileName = sources_.ScreenCatalog;
    info.ExportColumns = std::make_unique<QStringList>(CollectCheckedColumns());
    QString separator = kTextSeparator;
    if (rbCsv_->isChecked()) {
        separator = edSep_->text().isEmpty() ? QStringLiteral(",") : edSep_->text();
    }
    if (ExportCatalogPath.isEmpty()) {
        // The view's tree is written as it stands.
        const TCatalogTree& screen = sources_.Screen;
        if (rbHtml_->isChecked()) {
            return info.ExportHtml(QString(), &screen);
        }
        if (rbXml_->isChecked()) {
            return info.ExportXml(QString(), screen);
        }
        if (rbExcel_->isChecked()) {
            return info.ExportExcel(QString(), screen);
        }
        if (rbCsv_->isChecked()) {
            return info.ExportCsv(QString(), separator, &screen);
        }
        return rbText_->isChecked() && info.ExportText(QString(), separator, &screen);
    }
    // A library catalog is written as it is read. A broken one is reported before the file
    // question: the workbook reads the catalog before asking anyway, the others read it
    // through once first.
    const QString& catalog = ExportCatalogPath;
    const QString defaultName = DiskNameOf(catalog);
    if (!rbExcel_->isChecked()) {
        info.CheckCatalogFile(catalog);
    }
    if (rbHtml_->isChecked()) {
        return info.ExportCatalogHtml(catalog, defaultName);
    }
    if (rbXml_->isChecked()) {
        return info.ExportCatalogXml(catalog, defaultName);
    }
    if (rbExcel_->isChecked()) {
        return info.ExportCatalogExcel(catalog, defaultName);
    }
    if (rbCsv_->isChecked()) {
        return info.ExportCatalogCsv(catalog, defaultName, separator);
    }
    return rbText_->isChecked() && info.ExportCatalogText(catalog, defaultName, separator);
}

void RunExportDialog(TFMMain& main, const QString& catalogPath, QWidget* parent) {
    TFMExport dialog(
        TExportSources{main.ContentTree(), main.Progress(), main.Prompt(), main.CurrentCatalog},
        parent);
    dialog.ExportCatalogPath = catalogPath;
    dialog.exec();
    if (!dialog.ExportedFile.isEmpty()) {
        main.ShowStatusMessage(
            QStringLiteral("Export done: %1").arg(QDir::toNativeSeparators(dialog.ExportedFile)));
    }
}

}  // namespace melodrix
