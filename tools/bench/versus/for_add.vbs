' A million passes of a For loop that adds to a variable (or as many as the first argument says).
n = 1000000
If WScript.Arguments.Count > 0 Then n = CLng(WScript.Arguments(0))
s = 0
For i = 1 To n
   s = s + 1
Next
WScript.Echo s
