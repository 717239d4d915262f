#include "platform/XmlReader.h"

namespace grid {
namespace {

XmlPort* currentXml = nullptr;  // nullptr: the platform's reader

}  // namespace

XmlPort& xmlPort() { return currentXml ? *currentXml : systemXmlReader(); }
void setXmlPort(XmlPort* port) { currentXml = port; }

}  // namespace grid
