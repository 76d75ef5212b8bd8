"""Start-up of a packed program: extraction of the engine library, exit codes, and the
failures of a damaged program or an unusable engine (driven by the stand-in engine)."""
import os
import subprocess
import unittest
from pathlib import Path

from launcher_support import (FAKE_ENGINE, FAKE_ENGINE_NO16, LAUNCHER, LauncherTestCase, dos_time,
                              finish, read_directory, wine)


class StartTest(LauncherTestCase):

    def test_extracts_the_engine_once_with_the_record_time(self):
        program = self.pack('log ran\n')
        self.assertEqual(wine(program), 0)
        extracted = os.path.join(self.dir, 'KVDYC64I.DLL')
        with open(extracted, 'rb') as a, open(FAKE_ENGINE, 'rb') as b:
            self.assertEqual(a.read(), b.read())
        record = [r for r in read_directory(program) if r[4] == 2][0]
        self.assertEqual(record[1], dos_time(os.path.getmtime(FAKE_ENGINE)))
        self.assertEqual(dos_time(os.path.getmtime(extracted)), record[1])
        self.assertEqual(self.log()[1:], ['ran', 'end'])
        self.assertEqual([f for f in os.listdir(self.dir) if f.startswith('kvx')], [])

        # A second start finds the library beside the program and writes nothing.
        os.utime(extracted, (1_000_000_000, 1_000_000_000))
        self.assertEqual(wine(program), 0)
        self.assertEqual(os.path.getmtime(extracted), 1_000_000_000)

    def test_exit_code_is_the_one_the_script_set(self):
        self.assertEqual(wine(self.pack('log x\n')), 0)
        os.remove(os.path.join(self.dir, 'fake_engine.log'))
        program = self.pack('host 28 1000|7|0|0|0\nhost 28 1000|9|0|0|0\nhost 28 1000|7|0|0|0\n')
        self.assertEqual(wine(program), 7)
        answers = [line.split(' int=')[1] for line in self.host_answers()]
        self.assertEqual(answers, ['0 text=', '7 text=', '9 text='])   # each answers the previous code

    def test_registry_limits_take_defaults_and_caps(self):
        key = r'HKLM\Software\Hollicor\Settings\TRM-PROD\KV44I'
        cases = [
            (None, None, 2000, 65536),           # no values: the defaults (65500 rounded up to a page)
            ('0', '0', 2000, 65536),
            ('70000', '100', 65000, 4096),
            ('-5', '20000000', 2000, 16777216),
            ('12', '70000', 12, 73728),
        ]
        program = self.pack('log x\n')
        try:
            for max_vars, string_space, capacity, commit in cases:
                with self.subTest(max_vars=max_vars, string_space=string_space):
                    subprocess.run(['wine', 'reg', 'delete', key, '/f'], capture_output=True)
                    for name, value in (('MaxVars', max_vars), ('StringSpace', string_space)):
                        if value is not None:
                            subprocess.run(['wine', 'reg', 'add', key, '/v', name, '/d', value, '/f'],
                                           capture_output=True, check=True)
                    log = os.path.join(self.dir, 'fake_engine.log')
                    if os.path.exists(log):
                        os.remove(log)
                    self.assertEqual(wine(program), 0)
                    self.assertIn(f'capacity={capacity} commit={commit}', self.log()[0])
        finally:
            subprocess.run(['wine', 'reg', 'delete', key, '/f'], capture_output=True)

    def test_service_extension_is_not_a_desktop_run(self):
        # Service mode is a later step: such a file ends as a dispatcher that cannot start.
        program = self.pack('log x\n', name=self.name.replace('.exe', '.exs'))
        self.assertEqual(wine(program), 255)
        self.assertEqual(self.log(), [])

    def test_damaged_or_missing_directory_ends_with_249(self):
        packed = self.pack('log x\n')
        data = Path(packed).read_bytes()
        cases = {
            'stop tag': data[:-1] + bytes([data[-1] ^ 1]),
            'cut short': data[:-300],
            'no directory': Path(LAUNCHER).read_bytes(),
        }
        for case, content in cases.items():
            with self.subTest(case):
                with open(packed, 'wb') as f:
                    f.write(content)
                process = self.start(packed)
                self.answer_box('Kelvoran Runtime Error #9999', 'EXE file damaged, is not usable')
                self.answer_box('Fatal Error', 'DLL(s) not found or created')
                self.assertEqual(finish(process), 249)
                self.assertFalse(os.path.exists(os.path.join(self.dir, 'KVDYC64I.DLL')))

    def test_engine_without_ordinal_16_is_refused_with_248(self):
        program = self.pack('log x\n', engine=FAKE_ENGINE_NO16)
        process = self.start(program)
        self.answer_box('Interface Error', 'DLL GetProcAddress Failure')
        self.answer_box('Batch DLL initialization error', 'Err num 33')
        self.assertEqual(finish(process), 248)
        self.assertEqual(self.log(), [])

    def test_unreadable_script_ends_with_249_and_runs_nothing(self):
        program = self.pack('log must not run\n' * 50)
        data = bytearray(Path(program).read_bytes())
        script = [r for r in read_directory(program) if r[4] == 11][0]
        start = data.find(script[6])
        data[start + 10:start + 30] = bytes(20)          # damage the compressed stream
        with open(program, 'wb') as f:
            f.write(data)
        process = self.start(program)
        self.answer_box('Compiler Runtime Error', 'Error uncompressing script')
        self.assertEqual(finish(process), 249)
        self.assertFalse(any('must not run' in line for line in self.log()))

    def test_failed_extraction_leaves_no_library_behind(self):
        program = self.pack('log x\n')
        data = bytearray(Path(program).read_bytes())
        records = read_directory(program)
        index = [i for i, r in enumerate(records) if r[4] == 2][0]
        # Claim a longer library than the file carries: the read falls short.
        record = len(data) - 276 * (len(records) + 1 - index)
        data[record + 260:record + 264] = (records[index][2] + 10_000_000).to_bytes(4, 'big')
        with open(program, 'wb') as f:
            f.write(data)
        process = self.start(program)
        self.answer_box('KVDYC64I.DLL', 'Error extracting file')
        self.answer_box('Fatal Error', 'DLL(s) not found or created')
        self.assertEqual(finish(process), 249)
        self.assertEqual(sorted(os.listdir(self.dir)), sorted(['script.zal', self.name]))


if __name__ == '__main__':
    unittest.main()
