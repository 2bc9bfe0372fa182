// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecordingAddressBookHost.h"

bool RecordingAddressBookHost::open()
{
    std::lock_guard<std::mutex> guard(m_mutex);
    ++m_opens;
    return m_openSucceeds;
}

QString RecordingAddressBookHost::addPerson(const AddressBookPerson& person)
{
    std::lock_guard<std::mutex> guard(m_mutex);
    m_added.push_back(person);
    ++m_unsaved;
    return QString::number(m_added.size());
}

bool RecordingAddressBookHost::hasUnsavedChanges() const
{
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_unsaved > 0;
}

bool RecordingAddressBookHost::save()
{
    std::lock_guard<std::mutex> guard(m_mutex);
    ++m_saves;
    if (m_saveSucceeds)
        m_saved.insert(m_saved.end(), m_added.end() - static_cast<std::ptrdiff_t>(m_unsaved),
                       m_added.end());
    m_unsaved = 0;
    return m_saveSucceeds;
}

std::vector<AddressBookPerson> RecordingAddressBookHost::added() const
{
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_added;
}

std::vector<AddressBookPerson> RecordingAddressBookHost::saved() const
{
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_saved;
}

int RecordingAddressBookHost::opens() const
{
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_opens;
}

int RecordingAddressBookHost::saves() const
{
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_saves;
}
