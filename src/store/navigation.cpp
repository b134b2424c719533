// Moving through the owner's rows: each move loads the row reached and reports it through
// RecordPosition, IsFirstRecord and IsLastRecord, keeping the store's own position counter.
#include "store/CPicture.h"

namespace kelvo {

void CPicture::FirstRecord() {
    Recordset& rs = photoRows();
    if (rs.RecordCount() <= 0) return;
    rs.MoveFirst();
    LoadData(false, false);
    m_lRecordPosition = 1;
    raise(&CPictureEvents::RecordPosition, m_lRecordPosition, m_lTotalRecords);
    bool bIsFirstRecord = true;
    raise(&CPictureEvents::IsFirstRecord, bIsFirstRecord);
    m_bRecordBOF = bIsFirstRecord;
    m_bRecordEOF = false;
}

void CPicture::LastRecord() {
    Recordset& rs = photoRows();
    if (rs.RecordCount() <= 0) return;
    rs.MoveLast();
    LoadData(false, false);
    m_lRecordPosition = rs.RecordCount();
    std::int32_t lTotalRecords = rs.RecordCount();
    raise(&CPictureEvents::RecordPosition, m_lRecordPosition, lTotalRecords);
    bool bIsLastRecord = true;
    raise(&CPictureEvents::IsLastRecord, bIsLastRecord);
    m_bRecordEOF = bIsLastRecord;
    m_bRecordBOF = false;
}

void CPicture::NextRecord() {
    guarded([&] {
        Recordset& rs = photoRows();
        if (rs.RecordCount() <= 0) return;
        rs.MoveNext();
        if (rs.EOF()) {
            rs.MoveLast();
            LoadData(false, false);
            bool bIsLastRecord = true;
            raise(&CPictureEvents::IsLastRecord, bIsLastRecord);
            m_bRecordEOF = bIsLastRecord;
            m_bRecordBOF = false;
            m_lRecordPosition = rs.RecordCount();
        } else {
            LoadData(false, false);
            ++m_lRecordPosition;
        }
        raise(&CPictureEvents::RecordPosition, m_lRecordPosition, m_lTotalRecords);
    });
}

void CPicture::PreviousRecord() {
    guarded([&] {
        Recordset& rs = photoRows();
        if (rs.RecordCount() <= 0) return;
        rs.MovePrevious();
        if (rs.BOF()) {
            rs.MoveFirst();
            LoadData(false, false);
            bool bIsFirstRecord = true;
            raise(&CPictureEvents::IsFirstRecord, bIsFirstRecord);
            m_bRecordBOF = bIsFirstRecord;
            m_bRecordEOF = false;
            m_lRecordPosition = 1;
        } else {
            LoadData(false, false);
            --m_lRecordPosition;
        }
        raise(&CPictureEvents::RecordPosition, m_lRecordPosition, m_lTotalRecords);
    });
}

}  // namespace kelvo
