' A text grown by 100,000 appends of one character (or as many as the first argument says).
n = 100000
If WScript.Arguments.Count > 0 Then n = CLng(WScript.Arguments(0))
s = ""
For i = 1 To n
   s = s & "x"
Next
WScript.Echo Len(s)
