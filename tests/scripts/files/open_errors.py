# Tells the script where the engine keeps its settings file: this run's own settings folder,
# "Kelvoran\Settings\TRIMVALE.INI" in the application-data folder the runner gives the host.
def setup(t):
    t.write("settings.txt", t.settings_win + "\\Kelvoran\\Settings\\TRIMVALE.INI")
