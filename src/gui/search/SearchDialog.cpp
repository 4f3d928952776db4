#include "gui/search/SearchDialog.h"

#include <QCheckBox>
#include <QFont>
#include <QFontMetrics>
#include <QFormLayout>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTextOption>
#include <QVBoxLayout>
#include <string>
#include <vector>

#include "core/base/Errors.h"
#include "core/catalog/Sinks.h"
#include "core/config/Config.h"
#include "core/search/SearchConditions.h"
#include "gui/library/FrmCatTree.h"
#include "gui/search/SearchConditionsPanel.h"
#include "gui/shell/Guard.h"
#include "gui/shell/RememberedInputs.h"

namespace melodrix {

namespace {

// The configuration element that keeps the last search's conditions.
constexpr const char* kRememberedSearch = "searchDialog";

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
      btnCancel_(new QPushButton(QStringLiteral("&Cancel"))),
      chkMore_(new QCheckBox(QStringLiteral("More conditions"))),
      panel_(new TSearchConditionsPanel) {
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

    caseSensitive_->setToolTip(
        QStringLiteral("Letters must match in upper and lower case as typed; otherwise case "
                       "is ignored (A-Z)."));
    wholeWords_->setToolTip(
        QStringLiteral("FileName, FileExt and Description each match only a stored value that "
                       "is the whole text typed, not one that merely holds it: song.mp3 finds "
                       "Song.MP3 but not my song.mp3. With More conditions set to "
                       "\"Contains\", their texts match whole values too."));

    // The plain conditions in one box, the check boxes that change how they match with them.
    conditions_ = new QGroupBox;
    conditions_->setObjectName(QStringLiteral("GrpConditions"));
    auto* edits = new QFormLayout(conditions_);
    edits->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    edits->addRow(MakeLabel(QStringLiteral("Label1"), QStringLiteral("FileName : ")), edFileName_);
    edits->addRow(MakeLabel(QStringLiteral("Label2"), QStringLiteral("FileExt : ")), edExt_);
    edits->addRow(MakeLabel(QStringLiteral("Label4"), QStringLiteral("Description: ")), edDes_);
    edits->addRow(caseSensitive_);
    edits->addRow(wholeWords_);

    auto* right = new QVBoxLayout;
    right->addWidget(conditions_);
    right->addStretch(1);
    right->addWidget(memo_);

    auto* upper = new QHBoxLayout;
    upper->addWidget(frmCatTree_);
    upper->addLayout(right, 1);

    // "More conditions" heads its own box below, with how every text matches inside it.
    moreBox_ = new QFrame;
    moreBox_->setObjectName(QStringLiteral("FrmMoreConditions"));
    moreBox_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    auto* moreLayout = new QVBoxLayout(moreBox_);
    moreLayout->setContentsMargins(8, 6, 8, 6);
    moreLayout->addWidget(panel_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk_);
    buttons->addWidget(btnCancel_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 8, 8);
    layout->addLayout(upper, 1);
    layout->addWidget(chkMore_);
    layout->addWidget(moreBox_);
    // OK and Cancel end the dialog, below everything it asks.
    layout->addLayout(buttons);

    chkMore_->setObjectName(QStringLiteral("ChkMore"));
    chkMore_->setChecked(GetConfig().ConfigRoot().MoreSearchConditions());
    ShowMore(chkMore_->isChecked());
    connect(chkMore_, &QCheckBox::toggled, this, [this](bool checked) {
        IgnoreException([this, checked] {
            ShowMore(checked);
            GetConfig().ConfigRoot().SetMoreSearchConditions(checked);
        });
    });

    connect(btnOk_, &QPushButton::clicked, this,
            [this] { IgnoreException([this] { BitBtn1Click(); }); });
    connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);
}

void TFMSearch::PrepareDialog() {
    // The whole library is the scope until the user picks another node.
    frmCatTree_->LoadLibraryTree(GetConfig().LibraryPath(), false);
    // The conditions of the last search are offered again, to be changed or searched anew.
    const TXMLRememberedType last = GetConfig().ConfigRoot().Remembered(kRememberedSearch);
    RecallInputs(*conditions_, last);
    RecallInputs(*panel_, last);
    edFileName_->setFocus();
    edFileName_->selectAll();
}

void TFMSearch::RememberConditions() {
    TConfig& config = GetConfig();
    const TXMLRememberedType last = config.ConfigRoot().Remembered(kRememberedSearch);
    RememberInputs(*conditions_, last);
    RememberInputs(*panel_, last);
    try {
        config.SaveConfig();
    } catch (const TMelodrixError&) {
        // The search goes on; the conditions are written with the window layout at the end.
    }
}

// The panel adds its height below the fixed layout of the plain dialog.
void TFMSearch::ShowMore(bool show) {
    moreBox_->setVisible(show);
    setFixedSize(529, show ? 313 + moreBox_->sizeHint().height() + 6 : 313);
    // Grown on screen, the dialog stays on it whole, OK and Cancel included.
    if (isVisible() && screen()) {
        const QRect room = screen()->availableGeometry();
        QRect frame = frameGeometry();
        if (frame.bottom() > room.bottom()) {
            frame.moveBottom(room.bottom());
        }
        if (frame.top() < room.top()) {
            frame.moveTop(room.top());
        }
        move(frame.topLeft());
    }
}

TSearchOptions TFMSearch::Options() const {
    if (!chkMore_->isChecked()) {
        TSearchOptions options;
        options.caseSensitive = caseSensitive_->isChecked();
        options.mode = wholeWords_->isChecked() ? TTextMode::Whole : TTextMode::Contains;
        return options;
    }
    return panel_->Options(caseSensitive_->isChecked(), wholeWords_->isChecked());
}

void TFMSearch::BitBtn1Click() {
    const bool noCondition =
        edFileName_->text().trimmed().isEmpty() && edExt_->text().trimmed().isEmpty() &&
        edDes_->text().trimmed().isEmpty() && !(chkMore_->isChecked() && panel_->HasCondition());
    if (!frmCatTree_->FocusedNode() || noCondition) {
        prompt_.ShowMessage(kWarningTitle, kInputSearchCondition, TMessageIcon::Exclamation);
        return;
    }
    try {
        const TSearchOptions options = Options();
        if (options.mode == TTextMode::Regex) {
            std::vector<std::string> texts;
            for (const QLineEdit* edit : {edFileName_, edExt_, edDes_}) {
                texts.push_back(edit->text().toUtf8().toStdString());
            }
            for (const TTextCondition& condition : options.texts) {
                texts.push_back(condition.text);
            }
            for (const std::string& text : texts) {
                const QString error =
                    text.empty() ? QString() : RegexError(text, options.caseSensitive);
                if (!error.isEmpty()) {
                    throw TSearchConditionError(
                        QStringLiteral("Invalid regular expression \"%1\": %2")
                            .arg(QString::fromStdString(text), error));
                }
            }
        }
    } catch (const TSearchConditionError& error) {
        prompt_.ShowMessage(kWarningTitle, error.Message(), TMessageIcon::Exclamation);
        return;
    }
    RememberConditions();
    accept();
}

}  // namespace melodrix
