// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A Prompts seam for tests: records every message box and dialog it was asked for and answers from
// queues that the test fills beforehand. An empty queue answers "cancel". The dialogs answer with
// paths as the file system's bytes, as the real ones do; Files gives those of paths in text.

#include <QByteArray>
#include <QByteArrayList>
#include <QFile>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

#include "common/Prompts.h"

class FakePrompts : public Prompts {
  public:
    struct Message {
        QString strTitle;
        QString strText;
        Icon icon;
        QString strInformative;
        QString strDetails;
    };

    std::vector<Message> messages;
    std::deque<QByteArrayList> openFileAnswers;
    std::deque<QByteArray> folderAnswers;
    QStringList openFileTitles, openFileFilters, folderPrompts;
    // Runs inside ShowMessage, while the box would be open (for re-entrance tests).
    std::function<void(const Message&)> onMessage;

    void ShowMessage(QWidget*, const QString& strTitle, const QString& strText, Icon icon,
                     const QString& strInformative, const QString& strDetails) override {
        messages.push_back({strTitle, strText, icon, strInformative, strDetails});
        if (onMessage) onMessage(messages.back());
    }
    // The bytes of paths given as text.
    static QByteArrayList Files(const QStringList& strPaths) {
        QByteArrayList btPaths;
        for (const QString& strPath : strPaths) btPaths << QFile::encodeName(strPath);
        return btPaths;
    }

    QByteArrayList GetOpenFileNames(QWidget*, const QString& strTitle,
                                    const QString& strFilter) override {
        openFileTitles << strTitle;
        openFileFilters << strFilter;
        if (openFileAnswers.empty()) return {};
        QByteArrayList answer = openFileAnswers.front();
        openFileAnswers.pop_front();
        return answer;
    }
    QByteArray GetExistingDirectory(QWidget*, const QString& strPrompt) override {
        folderPrompts << strPrompt;
        if (folderAnswers.empty()) return {};
        QByteArray answer = folderAnswers.front();
        folderAnswers.pop_front();
        return answer;
    }
};
