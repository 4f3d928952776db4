#include "gui/search/SearchDialog.h"

#include <QCheckBox>
#include <QFont>
#include <QFontMetrics>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextOption>
#include <QVBoxLayout>

#include "core/catalog/Sinks.h"
#include "core/config/Config.h"
#include "gui/library/FrmCatTree.h"
#include "gui/shell/Guard.h"

namespace melodrix {

namespace {

QLineEdit* MakeEdit(const QString& name) {
    auto* edit = new QLineEdit;
    edit->setObjectName(name);
    return edit;
}

QLabel* MakeLabel(const QString& name, const QString& text) {
    auto* label = new QLabel(text);
    label->setObjectName(name);
    return label;
}

}  // namespace

TFMSearch::TFMSearch(IPromptSink& prompt, QWidget* parent)
    : TCommandDialog(parent),
      prompt_(prompt),
      frmCatTree_(new TFrmCatTree),
      edFileName_(MakeEdit(QStringLiteral("EdFileName"))),
      edExt_(MakeEdit(QStringLiteral("EdExt"))),
      edDes_(MakeEdit(QStringLiteral("EdDes"))),
      caseSensitive_(new QCheckBox(QStringLiteral("Case censitive"))),
      wholeWords_(new QCheckBox(QStringLiteral("Whole words"))),
      memo_(new QPlainTextEdit),
      btnOk_(new QPushButton(QStringLiteral("&OK"))),
      btnCancel_(new QPushButton(QStringLiteral("&Cancel"))) {
    setObjectName(QStringLiteral("FMSearch"));
    setWindowTitle(QStringLiteral("File Search"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(529, 313);

    frmCatTree_->setFixedWidth(281);
    frmCatTree_->VTLib()->setToolTip(QStringLiteral("Select to search"));
    caseSensitive_->setObjectName(QStringLiteral("CheckBox1"));
    wholeWords_->setObjectName(QStringLiteral("CheckBox2"));

    memo_->setObjectName(QStringLiteral("Memo1"));
    memo_->setReadOnly(true);
    memo_->setFrameStyle(QFrame::NoFrame);
    memo_->setPlainText(
        QStringLiteral("Select a group or catalog on the left to \n"
                       "define the scope of search"));
    QTextOption centred = memo_->document()->defaultTextOption();
    centred.setAlignment(Qt::AlignHCenter);
    memo_->document()->setDefaultTextOption(centred);
    memo_->setStyleSheet(
        QStringLiteral("QPlainTextEdit { background-color: palette(tooltip-base);"
                       " color: palette(tooltip-text); }"));
    // The note is short: it fits without scrolling in a slightly smaller font.
    QFont noteFont = memo_->font();
    noteFont.setPointSizeF(noteFont.pointSizeF() * 0.85);
    memo_->setFont(noteFont);
    memo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memo_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memo_->setFixedHeight(QFontMetrics(noteFont).lineSpacing() * 3 + 12);
    memo_->setFocusPolicy(Qt::NoFocus);

    btnOk_->setObjectName(QStringLiteral("BitBtn1"));
    btnCancel_->setObjectName(QStringLiteral("BitBtn2"));
    btnOk_->setDefault(true);

    auto* edits = new QFormLayout;
    edits->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    edits->addRow(MakeLabel(QStringLiteral("Label1"), QStringLiteral("FileName : ")), edFileName_);
    edits->addRow(MakeLabel(QStringLiteral("Label2"), QStringLiteral("FileExt : ")), edExt_);
    edits->addRow(MakeLabel(QStringLiteral("Label4"), QStringLiteral("Description: ")), edDes_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk_);
    buttons->addWidget(btnCancel_);

    auto* right = new QVBoxLayout;
    right->addLayout(edits);
    right->addSpacing(6);
    right->addWidget(caseSensitive_);
    right->addWidget(wholeWords_);
    right->addStretch(1);
    right->addWidget(memo_);
    right->addSpacing(6);
    right->addLayout(buttons);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 6, 8, 8);
    layout->addWidget(frmCatTree_);
    layout->addLayout(right, 1);

    connect(btnOk_, &QPushButton::clicked, this,
            [this] { IgnoreException([this] { BitBtn1Click(); }); });
    connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);
}

void TFMSearch::PrepareDialog() {
    // The whole library is the scope until the user picks another node.
    frmCatTree_->LoadLibraryTree(GetConfig().LibraryPath(), false);
    edFileName_->setFocus();
}

void TFMSearch::BitBtn1Click() {
    const bool noCondition = edFileName_->text().trimmed().isEmpty() &&
                             edExt_->text().trimmed().isEmpty() &&
                             edDes_->text().trimmed().isEmpty();
    if (!frmCatTree_->FocusedNode() || noCondition) {
        prompt_.ShowMessage(kWarningTitle, kInputSearchCondition, TMessageIcon::Exclamation);
        return;
    }
    accept();
}

}  // namespace melodrix
