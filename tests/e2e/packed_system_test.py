"""What a packed program learns of the system through its own launcher: the launcher's
manifest declares Windows 10 support, so WinVersion reports 10 (Wine has no ReleaseId or
DisplayVersion values), and UacManifestSettings reads its execution level, uiAccess and
the trust of its (unsigned) file. TerminateApp's request to close reaches another
launcher as that launcher's own Terminate command."""
import unittest

from launcher_support import EngineScriptTestCase, finish, wine


class PackedSystemTest(EngineScriptTestCase):

    def test_version_and_manifest_of_the_launcher(self):
        program = self.pack(
            'IniWritePvt("r", "major", WinVersion(1), f)\n'
            'IniWritePvt("r", "release", StrCat("[", WinVersion(11), "][", WinVersion(12), "]"), f)\n'
            'IniWritePvt("r", "manifest", UacManifestSettings(0), f)\n'
            'IniWritePvt("r", "level", UacManifestSettings(1), f)\n'
            'IniWritePvt("r", "uiaccess", UacManifestSettings(2), f)\n'
            'IniWritePvt("r", "trusted", UacManifestSettings(3), f)\n'
            'ErrorMode(@OFF)\n'
            'x = UacManifestSettings(4)\n'
            'IniWritePvt("r", "bad", LastError(), f)\n')
        self.assertEqual(wine(program), 0)
        self.assertEqual(self.results(), {
            'major': '10', 'release': '[][]', 'manifest': '1', 'level': 'asInvoker', 'uiaccess': 'false',
            'trusted': '0', 'bad': '1809'})

    def test_terminate_app_asks_a_launcher_by_its_terminate_command(self):
        looping = self.start(self.pack('While 1\n   TimeDelay(0.1)\nEndWhile\n'))
        self.main_window()
        closer = self.pack('IniWritePvt("r", "asked", TerminateApp("KVT - %s~", 0, 0), f)\n' % self.name,
                           name='closer.exe')
        closing = self.start(closer)
        self.answer_box('Error:  KVT - ' + self.name, '194:  Execution terminated by user request', button='Ok')
        self.assertEqual(finish(looping), 0)
        self.assertEqual(finish(closing), 0)
        self.assertIn(self.results().get('asked'), ('0', '1'))


if __name__ == '__main__':
    unittest.main()
