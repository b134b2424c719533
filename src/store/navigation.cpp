// Moving through the owner's rows: each move loads the row reached and reports it through
// RecordPosition, IsFirstRecord and IsLastRecord, keeping the store's own position counter.
#include "store/CPicture.h"
#include "store/store_internal.h"

namespace kelvo {

void CPicture::FirstRecord() {
    Recordset& rs = m_impl->photoRows();
    if (rs.RecordCount() <= 0) return;
    rs.MoveFirst();
    LoadData(false, false);
    m_impl->recordPosition = 1;
    m_impl->raise(&CPictureEvents::RecordPosition, m_impl->recordPosition, m_impl->totalRecords);
    bool bIsFirstRecord = true;
    m_impl->raise(&CPictureEvents::IsFirstRecord, bIsFirstRecord);
    m_impl->recordBOF = bIsFirstRecord;
    m_impl->recordEOF = false;
}

void CPicture::LastRecord() {
    Recordset& rs = m_impl->photoRows();
    if (rs.RecordCount() <= 0) return;
    rs.MoveLast();
    LoadData(false, false);
    m_impl->recordPosition = rs.RecordCount();
    std::int32_t lTotalRecords = rs.RecordCount();
    m_impl->raise(&CPictureEvents::RecordPosition, m_impl->recordPosition, lTotalRecords);
    bool bIsLastRecord = true;
    m_impl->raise(&CPictureEvents::IsLastRecord, bIsLastRecord);
    m_impl->recordEOF = bIsLastRecord;
    m_impl->recordBOF = false;
}

void CPicture::NextRecord() {
    m_impl->guarded([&] {
        Recordset& rs = m_impl->photoRows();
        if (rs.RecordCount() <= 0) return;
        rs.MoveNext();
        if (rs.EOF()) {
            rs.MoveLast();
            LoadData(false, false);
            bool bIsLastRecord = true;
            m_impl->raise(&CPictureEvents::IsLastRecord, bIsLastRecord);
            m_impl->recordEOF = bIsLastRecord;
            m_impl->recordBOF = false;
            m_impl->recordPosition = rs.RecordCount();
        } else {
            LoadData(false, false);
            ++m_impl->recordPosition;
        }
        m_impl->raise(&CPictureEvents::RecordPosition, m_impl->recordPosition,
                      m_impl->totalRecords);
    });
}

void CPicture::PreviousRecord() {
    m_impl->guarded([&] {
        Recordset& rs = m_impl->photoRows();
        if (rs.RecordCount() <= 0) return;
        rs.MovePrevious();
        if (rs.BOF()) {
            rs.MoveFirst();
            LoadData(false, false);
            bool bIsFirstRecord = true;
            m_impl->raise(&CPictureEvents::IsFirstRecord, bIsFirstRecord);
            m_impl->recordBOF = bIsFirstRecord;
            m_impl->recordEOF = false;
            m_impl->recordPosition = 1;
        } else {
            LoadData(false, false);
            --m_impl->recordPosition;
        }
        m_impl->raise(&CPictureEvents::RecordPosition, m_impl->recordPosition,
                      m_impl->totalRecords);
    });
}

}  // namespace kelvo
