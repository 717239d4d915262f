#include "platform/uno/CalcConnection_uno.h"

#include <fcntl.h>
#include <limits.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/lang/XMultiComponentFactory.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <rtl/ustring.hxx>

#include "platform/uno/UnoObject.h"

extern char** environ;

namespace grid {
namespace {

namespace css = com::sun::star;
using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

// How long a freshly started office may take to accept the connection (a first start makes its
// profile).
constexpr auto kOfficeStartLimit = std::chrono::seconds(90);
constexpr auto kRetryPause = std::chrono::milliseconds(250);

std::mutex connectionLock;
std::string officeProgramDirectory;
Reference<css::uno::XComponentContext> localContext;
Reference<css::lang::XMultiServiceFactory> officeServiceManager;
uno::UnoWrapping wrapping;

bool isExecutable(const std::string& path) {
    struct stat status{};
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && access(path.c_str(), X_OK) == 0;
}

// The office's program directory: UNO_PATH where it is set, else where soffice on the PATH leads.
std::string findOffice() {
    if (const char* unoPath = std::getenv("UNO_PATH"); unoPath && *unoPath)
        return isExecutable(std::string(unoPath) + "/soffice") ? std::string(unoPath) : std::string();
    const char* path = std::getenv("PATH");
    if (!path) return {};
    std::string entries = path;
    size_t start = 0;
    while (start <= entries.size()) {
        size_t end = entries.find(':', start);
        if (end == std::string::npos) end = entries.size();
        const std::string candidate = entries.substr(start, end - start) + "/soffice";
        if (end > start && isExecutable(candidate)) {
            char resolved[PATH_MAX];
            if (realpath(candidate.c_str(), resolved)) {
                std::string directory = resolved;
                directory.erase(directory.rfind('/'));
                if (isExecutable(directory + "/soffice")) return directory;
            }
        }
        start = end + 1;
    }
    return {};
}

rtl::OUString fromUtf8(const std::string& text) { return rtl::OStringToOUString(text.c_str(), RTL_TEXTENCODING_UTF8); }

// Asks the office to accept on the pipe: a running office of the user's profile gets the request
// from the new process, which then ends; otherwise the new process is the office. Returns the
// process, or 0 when it could not be started.
pid_t startOffice() {
    const std::string program = officeProgramDirectory + "/soffice";
    const std::string accept = "--accept=" + calcConnectionDescription();
    char* const arguments[] = {const_cast<char*>(program.c_str()), const_cast<char*>("--nologo"),
                               const_cast<char*>("--nodefault"), const_cast<char*>("--norestore"),
                               const_cast<char*>(accept.c_str()), nullptr};
    posix_spawn_file_actions_t files;
    posix_spawnattr_t attributes;
    if (posix_spawn_file_actions_init(&files) != 0) return 0;
    posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    pid_t office = 0;
    if (posix_spawn(&office, program.c_str(), &files, &attributes, arguments, environ) != 0) office = 0;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&files);
    return office;
}

// False once the started process has ended with a failure: no office is coming then. One that
// ended well has handed the request to the running office.
bool officeMayStill(pid_t office, bool& ended) {
    if (ended) return true;
    int status = 0;
    if (waitpid(office, &status, WNOHANG) != office) return true;
    ended = true;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

HRESULT connect() {
    try {
        // The local services: Invocation for structs, reflection, the connection.
        if (!localContext.is()) localContext = uno::startLocalUno(officeProgramDirectory);
        Reference<css::bridge::XUnoUrlResolver> resolver = css::bridge::UnoUrlResolver::create(localContext);
        const rtl::OUString url = fromUtf8("uno:" + calcConnectionDescription());
        Reference<css::uno::XInterface> office;
        try {
            office = resolver->resolve(url);
        } catch (const css::connection::NoConnectException&) {
            const pid_t started = startOffice();
            if (started == 0) return E_FAIL;
            const auto deadline = std::chrono::steady_clock::now() + kOfficeStartLimit;
            bool ended = false;
            while (!office.is()) {
                std::this_thread::sleep_for(kRetryPause);
                try {
                    office = resolver->resolve(url);
                } catch (const css::connection::NoConnectException&) {
                    if (!officeMayStill(started, ended) || std::chrono::steady_clock::now() > deadline) return E_FAIL;
                }
            }
        }
        Reference<css::uno::XComponentContext> officeContext(office, UNO_QUERY_THROW);
        uno::UnoWrapping made = uno::localWrapping(localContext);
        Reference<css::lang::XMultiServiceFactory> manager(officeContext->getServiceManager(), UNO_QUERY_THROW);
        made.officeInvocation.set(manager->createInstance("com.sun.star.script.Invocation"), UNO_QUERY_THROW);
        wrapping = made;
        officeServiceManager = manager;
        return S_OK;
    } catch (const css::uno::Exception&) {
        return E_FAIL;
    }
}

// CoCreateInstance of "com.sun.star.ServiceManager": the office's service manager.
HRESULT createServiceManager(IDispatch** object) {
    std::lock_guard<std::mutex> hold(connectionLock);
    if (!officeServiceManager.is()) {
        const HRESULT connected = connect();
        if (FAILED(connected)) return connected;
    }
    *object = uno::wrapUnoValue(wrapping, css::uno::Any(officeServiceManager), true);
    return *object ? S_OK : E_OUTOFMEMORY;
}

}  // namespace

// One pipe per user: the office that accepts on it serves every later run too.
std::string calcConnectionDescription() {
    return "pipe,name=grid-calc-" + std::to_string(getuid()) + ";urp;StarOffice.ComponentContext";
}

const std::string& calcOfficeDirectory() { return officeProgramDirectory; }

bool serveCalcThroughUno() {
    officeProgramDirectory = findOffice();
    if (officeProgramDirectory.empty()) return false;
    return serveProgId(u"com.sun.star.ServiceManager", &createServiceManager);
}

void endCalcConnection() {
    std::lock_guard<std::mutex> hold(connectionLock);
    wrapping = {};
    officeServiceManager.clear();
    if (!localContext.is()) return;
    try {
        Reference<css::lang::XComponent>(localContext, UNO_QUERY_THROW)->dispose();
    } catch (const css::uno::Exception&) {
    }
    localContext.clear();
}

}  // namespace grid
