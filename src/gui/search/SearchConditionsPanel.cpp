#include "gui/search/SearchConditionsPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>

#include "core/catalog/FileItem.h"
#include "core/catalog/ValueFunctions.h"

namespace melodrix {

namespace {

QString FieldLabel(int field) {
    const std::string_view name = FieldNames[static_cast<size_t>(field)];
    return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())) +
           QStringLiteral(" : ");
}

// Objects are named after the field: EdMP3_Title, EdFullPath, EdDiskName, ...
QString EditName(int field) {
    const std::string_view name = FieldNames[static_cast<size_t>(field)];
    return QStringLiteral("Ed") +
           QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

QLineEdit* MakeEdit(const QString& name, const QString& placeholder = {}) {
    auto* edit = new QLineEdit;
    edit->setObjectName(name);
    edit->setPlaceholderText(placeholder);
    return edit;
}

QDateEdit* MakeDate(const QString& name) {
    auto* edit = new QDateEdit(QDate::currentDate());
    edit->setObjectName(name);
    edit->setDisplayFormat(DateFormatWithFullYear());
    edit->setCalendarPopup(true);
    edit->setEnabled(false);
    return edit;
}

std::optional<uint64_t> SizeOf(const QLineEdit* edit) {
    if (edit->text().trimmed().isEmpty()) {
        return std::nullopt;
    }
    const std::optional<uint64_t> size = ParseSizeText(edit->text());
    if (!size) {
        throw TSearchConditionError(
            QStringLiteral("Please input a size in bytes, or with K, M or G, such as 700K."));
    }
    return size;
}

std::optional<int64_t> DurationOf(const QLineEdit* edit) {
    if (edit->text().trimmed().isEmpty()) {
        return std::nullopt;
    }
    const std::optional<int64_t> duration = ParseDurationText(edit->text());
    if (!duration) {
        throw TSearchConditionError(
            QStringLiteral("Please input a playing time in seconds, m:ss or h:mm:ss."));
    }
    return duration;
}

std::optional<int64_t> BitrateOf(const QLineEdit* edit) {
    if (edit->text().trimmed().isEmpty()) {
        return std::nullopt;
    }
    bool ok = false;
    const uint bitrate = edit->text().trimmed().toUInt(&ok);
    if (!ok) {
        throw TSearchConditionError(
            QStringLiteral("Please input a bitrate in kbit/s, such as 192."));
    }
    return bitrate;
}

// A "from ... to ..." pair of edits.
QHBoxLayout* RangeRow(QWidget* from, QWidget* to) {
    auto* row = new QHBoxLayout;
    row->addWidget(from);
    row->addWidget(new QLabel(QStringLiteral("to")));
    row->addWidget(to);
    return row;
}

// The codecs a scan records; the first entry asks for none.
constexpr std::array<const char*, 7> kCodecs = {"Any",  "MP3", "FLAC", "Vorbis",
                                                "Opus", "AAC", "ALAC"};

}  // namespace

TSearchConditionsPanel::TSearchConditionsPanel(QWidget* parent)
    : QWidget(parent),
      cbMode_(new QComboBox),
      edMinSize_(MakeEdit(QStringLiteral("EdMinSize"), QStringLiteral("e.g. 1M"))),
      edMaxSize_(MakeEdit(QStringLiteral("EdMaxSize"), QStringLiteral("e.g. 10M"))),
      edYearRange_(MakeEdit(QStringLiteral("EdYearRange"), QStringLiteral("e.g. 1990-1999"))),
      chkAfter_(new QCheckBox(QStringLiteral("Modified from"))),
      dtAfter_(MakeDate(QStringLiteral("DtAfter"))),
      chkBefore_(new QCheckBox(QStringLiteral("to"))),
      dtBefore_(MakeDate(QStringLiteral("DtBefore"))),
      cbKind_(new QComboBox),
      edTrack_(MakeEdit(QStringLiteral("EdTrack"), QStringLiteral("e.g. 1-3"))),
      edMinDuration_(MakeEdit(QStringLiteral("EdMinDuration"), QStringLiteral("e.g. 2:30"))),
      edMaxDuration_(MakeEdit(QStringLiteral("EdMaxDuration"), QStringLiteral("e.g. 1:05:00"))),
      edMinBitrate_(MakeEdit(QStringLiteral("EdMinBitrate"), QStringLiteral("kbit/s"))),
      edMaxBitrate_(MakeEdit(QStringLiteral("EdMaxBitrate"), QStringLiteral("kbit/s"))),
      cbCodec_(new QComboBox) {
    setObjectName(QStringLiteral("PnlMoreConditions"));
    cbMode_->setObjectName(QStringLiteral("CbMode"));
    cbMode_->addItems({QStringLiteral("Contains"), QStringLiteral("Whole value"),
                       QStringLiteral("Wildcard (* and ?)"), QStringLiteral("Regular expression")});
    // How every text condition of the dialog matches, those above the panel included.
    const QStringList modeHints = {
        QStringLiteral("A text matches a value that holds it anywhere (Whole words above "
                       "narrows it to whole values)."),
        QStringLiteral("A text matches only a value that is the whole text, nothing more: "
                       "Live finds Live but not Live in Paris."),
        QStringLiteral("The whole value must fit the pattern: * stands for any run of "
                       "characters, ? for one character."),
        QStringLiteral("The regular expression (RE2) must match somewhere in the value."),
    };
    for (int i = 0; i < modeHints.size(); ++i) {
        cbMode_->setItemData(i, modeHints[i], Qt::ToolTipRole);
    }
    cbMode_->setToolTip(
        QStringLiteral("How every text condition of this dialog matches its field, those "
                       "above (FileName, FileExt, Description) and these below."));
    cbKind_->setObjectName(QStringLiteral("CbKind"));
    cbKind_->addItems(
        {QStringLiteral("Files and folders"), QStringLiteral("Files"), QStringLiteral("Folders")});
    cbCodec_->setObjectName(QStringLiteral("CbCodec"));
    for (const char* codec : kCodecs) {
        cbCodec_->addItem(QString::fromLatin1(codec));
    }
    chkAfter_->setObjectName(QStringLiteral("ChkAfter"));
    chkBefore_->setObjectName(QStringLiteral("ChkBefore"));
    connect(chkAfter_, &QCheckBox::toggled, dtAfter_, &QWidget::setEnabled);
    connect(chkBefore_, &QCheckBox::toggled, dtBefore_, &QWidget::setEnabled);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    for (size_t i = 0; i < kTextFields.size(); ++i) {
        textEdits_[i] = MakeEdit(EditName(kTextFields[i]));
        const int row = static_cast<int>(i) / 2;
        const int column = static_cast<int>(i) % 2 * 2;
        grid->addWidget(new QLabel(FieldLabel(kTextFields[i])), row, column, Qt::AlignRight);
        grid->addWidget(textEdits_[i], row, column + 1);
    }
    int row = static_cast<int>(kTextFields.size() + 1) / 2;
    grid->addWidget(new QLabel(QStringLiteral("Texts match : ")), row, 0, Qt::AlignRight);
    grid->addWidget(cbMode_, row, 1);
    grid->addWidget(new QLabel(QStringLiteral("Items : ")), row, 2, Qt::AlignRight);
    grid->addWidget(cbKind_, row, 3);
    ++row;
    grid->addWidget(new QLabel(QStringLiteral("Size from : ")), row, 0, Qt::AlignRight);
    grid->addLayout(RangeRow(edMinSize_, edMaxSize_), row, 1);
    grid->addWidget(new QLabel(QStringLiteral("Years : ")), row, 2, Qt::AlignRight);
    grid->addWidget(edYearRange_, row, 3);
    ++row;
    grid->addWidget(new QLabel(QStringLiteral("Playing time from : ")), row, 0, Qt::AlignRight);
    grid->addLayout(RangeRow(edMinDuration_, edMaxDuration_), row, 1);
    grid->addWidget(new QLabel(QStringLiteral("Tracks : ")), row, 2, Qt::AlignRight);
    grid->addWidget(edTrack_, row, 3);
    ++row;
    grid->addWidget(new QLabel(QStringLiteral("Bitrate from : ")), row, 0, Qt::AlignRight);
    grid->addLayout(RangeRow(edMinBitrate_, edMaxBitrate_), row, 1);
    grid->addWidget(new QLabel(QStringLiteral("Codec : ")), row, 2, Qt::AlignRight);
    grid->addWidget(cbCodec_, row, 3);
    ++row;
    auto* times = new QHBoxLayout;
    times->addWidget(chkAfter_);
    times->addWidget(dtAfter_);
    times->addWidget(chkBefore_);
    times->addWidget(dtBefore_);
    times->addStretch(1);
    grid->addLayout(times, row, 0, 1, 4);
}

QLineEdit* TSearchConditionsPanel::TextEdit(int field) const {
    for (size_t i = 0; i < kTextFields.size(); ++i) {
        if (kTextFields[i] == field) {
            return textEdits_[i];
        }
    }
    return nullptr;
}

bool TSearchConditionsPanel::HasCondition() const {
    for (const QLineEdit* edit : textEdits_) {
        if (!edit->text().trimmed().isEmpty()) {
            return true;
        }
    }
    for (const QLineEdit* edit : {edMinSize_, edMaxSize_, edYearRange_, edTrack_, edMinDuration_,
                                  edMaxDuration_, edMinBitrate_, edMaxBitrate_}) {
        if (!edit->text().trimmed().isEmpty()) {
            return true;
        }
    }
    return chkAfter_->isChecked() || chkBefore_->isChecked() || cbKind_->currentIndex() > 0 ||
           cbCodec_->currentIndex() > 0;
}

TSearchOptions TSearchConditionsPanel::Options(bool caseSensitive, bool wholeWords) const {
    TSearchOptions options;
    options.caseSensitive = caseSensitive;
    static constexpr std::array<TTextMode, 4> kModes = {TTextMode::Contains, TTextMode::Whole,
                                                        TTextMode::Wildcard, TTextMode::Regex};
    options.mode = kModes[static_cast<size_t>(std::clamp(cbMode_->currentIndex(), 0, 3))];
    if (options.mode == TTextMode::Contains && wholeWords) {
        options.mode = TTextMode::Whole;
    }
    for (size_t i = 0; i < kTextFields.size(); ++i) {
        const QString text = textEdits_[i]->text();
        if (!text.isEmpty()) {
            options.texts.push_back({kTextFields[i], text.toUtf8().toStdString()});
        }
    }
    options.size.low = SizeOf(edMinSize_);
    options.size.high = SizeOf(edMaxSize_);
    if (!edYearRange_->text().trimmed().isEmpty()) {
        const auto years = ParseYearRange(edYearRange_->text());
        if (!years) {
            throw TSearchConditionError(
                QStringLiteral("Please input years such as 1994, 1990-1999 or 2000-."));
        }
        options.year = *years;
    }
    if (!edTrack_->text().trimmed().isEmpty()) {
        const auto tracks = ParseYearRange(edTrack_->text());
        if (!tracks) {
            throw TSearchConditionError(
                QStringLiteral("Please input track numbers such as 3, 1-3 or 10-."));
        }
        options.track = *tracks;
    }
    options.durationMs.low = DurationOf(edMinDuration_);
    options.durationMs.high = DurationOf(edMaxDuration_);
    options.bitrate.low = BitrateOf(edMinBitrate_);
    options.bitrate.high = BitrateOf(edMaxBitrate_);
    if (cbCodec_->currentIndex() > 0) {
        options.codec = cbCodec_->currentText().toStdString();
    }
    if (chkAfter_->isChecked()) {
        options.time.low = MsecsOfDayStart(dtAfter_->date());
    }
    if (chkBefore_->isChecked()) {
        // Up to the end of that day.
        options.time.high = MsecsOfDayStart(dtBefore_->date().addDays(1)) - 1;
    }
    static constexpr std::array<TItemKind, 3> kKinds = {TItemKind::Both, TItemKind::Files,
                                                        TItemKind::Folders};
    options.kind = kKinds[static_cast<size_t>(std::clamp(cbKind_->currentIndex(), 0, 2))];
    return options;
}

}  // namespace melodrix
