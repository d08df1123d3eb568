#pragma once

#include "Platform/NotificationCenter.h"

#include <QList>

// Answers "will present" with fixed options and keeps every response it is given.
class RecordingDelegate : public ovlin::NotificationCenterDelegate
{
public:
    ovlin::PresentationOptions options = ovlin::NotificationCenter::defaultPresentation;
    QList<ovlin::NotificationRequest> asked;
    QList<ovlin::NotificationResponse> responses;

    ovlin::PresentationOptions willPresent(const ovlin::NotificationRequest &request) override
    {
        asked.append(request);
        return options;
    }

    void didReceive(const ovlin::NotificationResponse &response) override { responses.append(response); }
};
