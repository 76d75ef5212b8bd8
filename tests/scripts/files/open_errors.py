# Tells the script where the engine keeps its settings file: the application-data folder of
# the prefix's user, "Kelvoran\Settings\TRIMVALE.INI".
import os

import kvtest


def setup(t):
    users = os.path.join(kvtest.drive_c(), "users")
    user = next(u for u in sorted(os.listdir(users))
                if u.lower() != "public" and os.path.isdir(os.path.join(users, u, "AppData")))
    t.write("settings.txt", "C:\\users\\%s\\AppData\\Roaming\\Kelvoran\\Settings\\TRIMVALE.INI" % user)
