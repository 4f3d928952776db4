#pragma once

#include <QWidget>
#include <array>

#include "core/catalog/FileItem.h"
#include "core/search/SearchConditions.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;

namespace melodrix {

// The search dialog's "More conditions": the tag fields, the path and disk, the mode of
// every text condition, the size, year, time, track, playing time and bitrate ranges, the
// codec and the kind of item.
class TSearchConditionsPanel final : public QWidget {
    Q_OBJECT
public:
    explicit TSearchConditionsPanel(QWidget* parent = nullptr);

    // The edit of each text field, by field number (MP3_Title, ..., FullPath, DiskName).
    QLineEdit* TextEdit(int field) const;
    QComboBox* CbMode() const { return cbMode_; }
    QLineEdit* EdMinSize() const { return edMinSize_; }
    QLineEdit* EdMaxSize() const { return edMaxSize_; }
    QLineEdit* EdYearRange() const { return edYearRange_; }
    QCheckBox* ChkAfter() const { return chkAfter_; }
    QDateEdit* DtAfter() const { return dtAfter_; }
    QCheckBox* ChkBefore() const { return chkBefore_; }
    QDateEdit* DtBefore() const { return dtBefore_; }
    QComboBox* CbKind() const { return cbKind_; }
    QLineEdit* EdTrack() const { return edTrack_; }
    QLineEdit* EdMinDuration() const { return edMinDuration_; }
    QLineEdit* EdMaxDuration() const { return edMaxDuration_; }
    QLineEdit* EdMinBitrate() const { return edMinBitrate_; }
    QLineEdit* EdMaxBitrate() const { return edMaxBitrate_; }
    QComboBox* CbCodec() const { return cbCodec_; }

    // The options the panel asks for. Throws TSearchConditionError with the text to show
    // for a size, year range or regular expression it cannot use.
    TSearchOptions Options(bool caseSensitive, bool wholeWords) const;
    // Whether any condition is given (a text that is not blank, a range or a kind).
    bool HasCondition() const;

    // The text fields of the panel, in the order shown.
    static constexpr std::array<int, 9> kTextFields = {MP3_Title, MP3_Artist, MP3_Album,
                                                       MP3_Year,  MP3_Genre,  MP3_Comment,
                                                       FullPath,  DiskName,   MP3_AlbumArtist};

private:
    std::array<QLineEdit*, kTextFields.size()> textEdits_{};
    QComboBox* cbMode_;
    QLineEdit* edMinSize_;
    QLineEdit* edMaxSize_;
    QLineEdit* edYearRange_;
    QCheckBox* chkAfter_;
    QDateEdit* dtAfter_;
    QCheckBox* chkBefore_;
    QDateEdit* dtBefore_;
    QComboBox* cbKind_;
    QLineEdit* edTrack_;
    QLineEdit* edMinDuration_;
    QLineEdit* edMaxDuration_;
    QLineEdit* edMinBitrate_;
    QLineEdit* edMaxBitrate_;
    QComboBox* cbCodec_;
};

}  // namespace melodrix
