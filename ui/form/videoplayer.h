#pragma once

#include <QVideoWidget>

// The form's preview picture; tells when the previewed file has played to its end.
class VideoPlayer : public QVideoWidget
{
    Q_OBJECT

public:
    using QVideoWidget::QVideoWidget;

signals:
    void finished();
};
