#include <libsecret/secret.h>
#include <unistd.h>

#include <cstdlib>

#include "app/secrets.h"

namespace {

const SecretSchema* Schema()
{
    static const SecretSchema schema = {"org.tolvar.SmtpLogin",
                                        SECRET_SCHEMA_NONE,
                                        {{"server", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                         {"user", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                         {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
                                        0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    return &schema;
}

class TKeyring : public TSecretStore {
public:
    ~TKeyring() override
    {
        if (service_) g_object_unref(service_);
    }

    bool Available() override
    {
        // Without a session bus GLib would try to start one (or wait for
        // one): no bus, no Secret Service.
        const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        bool hasBus = (bus && *bus) || (runtime && ::access((std::string(runtime) + "/bus").c_str(), F_OK) == 0);
        if (!hasBus) return false;
        if (!service_) {
            GError* error = nullptr;
            service_ = secret_service_get_sync(SECRET_SERVICE_NONE, nullptr, &error);
            if (error) g_error_free(error);
        }
        if (!service_) return false;
        // The service may be a name on the bus that nothing provides.
        gchar* owner = g_dbus_proxy_get_name_owner(G_DBUS_PROXY(service_));
        bool running = owner != nullptr;
        g_free(owner);
        return running;
    }

    std::optional<std::string> Lookup(const std::string& server, const std::string& user) override
    {
        GError* error = nullptr;
        gchar* found = secret_password_lookup_sync(Schema(), nullptr, &error, "server", server.c_str(), "user",
                                                   user.c_str(), nullptr);
        if (error) g_error_free(error);
        if (!found) return std::nullopt;
        std::string password = found;
        secret_password_free(found);
        return password;
    }

    bool Store(const std::string& server, const std::string& user, const std::string& password) override
    {
        GError* error = nullptr;
        std::string label = "Tolvar: " + user + " at " + server;
        gboolean ok = secret_password_store_sync(Schema(), SECRET_COLLECTION_DEFAULT, label.c_str(), password.c_str(),
                                                 nullptr, &error, "server", server.c_str(), "user", user.c_str(),
                                                 nullptr);
        if (error) g_error_free(error);
        return ok;
    }

    void Forget(const std::string& server, const std::string& user) override
    {
        GError* error = nullptr;
        secret_password_clear_sync(Schema(), nullptr, &error, "server", server.c_str(), "user", user.c_str(),
                                   nullptr);
        if (error) g_error_free(error);
    }

private:
    SecretService* service_ = nullptr;
};
}  // namespace

std::unique_ptr<TSecretStore> MakeKeyring()
{
    return std::make_unique<TKeyring>();
}
