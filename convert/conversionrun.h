#pragma once

#include <QString>
#include <QStringList>
