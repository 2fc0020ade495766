import flash.display.Sprite;
import flash.events.Event;
import flash.events.MouseEvent;

/** Three in a row against the little robot: you play the hearts. */
class TicTacToe extends Sprite {
	static var lines = [[0, 1, 2], [3, 4, 5], [6, 7, 8], [0, 3, 6], [1, 4, 7], [2, 5, 8], [0, 4, 8], [2, 4, 6]];

	var board:Array<Int> = []; // 0 empty, 1 child, 2 robot
	var cells:Array<Sprite> = [];
	var marks = new Sprite();
	var robot = new Sprite();
	var robotTurn = 0; // frames until the robot moves
	var over = 0; // frames until the next game
	var frame = 0;
	var win:Array<Int> = null;

	public function new() {
		super();
		Kit.sky(graphics, 0xE0F7FA, 0xB2EBF2);
		var g = graphics;
		g.beginFill(0xFFFFFF);
		g.drawRoundRect(115, 40, 320, 320, 30, 30);
		g.endFill();
		g.lineStyle(8, 0x80DEEA);
		for (i in 1...3) {
			g.moveTo(125 + i * 100, 55);
			g.lineTo(125 + i * 100, 345);
			g.moveTo(130, 50 + i * 100);
			g.lineTo(420, 50 + i * 100);
		}
		g.lineStyle();
		for (i in 0...9) {
			var c = new Sprite();
			c.graphics.beginFill(0xFFFFFF, 0.01);
			c.graphics.drawRect(0, 0, 96, 96);
			c.graphics.endFill();
			c.x = 127 + (i % 3) * 100;
			c.y = 52 + Std.int(i / 3) * 100;
			c.buttonMode = true;
			c.addEventListener(MouseEvent.CLICK, play);
			addChild(c);
			cells.push(c);
		}
		addChild(marks);
		marks.mouseEnabled = false;
		robot.x = 490;
		robot.y = 200;
		addChild(robot);
		reset();
		addEventListener(Event.ENTER_FRAME, tick);
	}

	function reset() {
		board = [for (i in 0...9) 0];
		win = null;
		over = 0;
		robotTurn = 0;
	}

	function play(e:MouseEvent) {
		var i = cells.indexOf(cast e.currentTarget);
		if (over > 0 || robotTurn > 0 || board[i] != 0)
			return;
		board[i] = 1;
		if (!finished())
			robotTurn = 25;
	}

	function winner(who:Int):Array<Int> {
		for (l in lines)
			if (board[l[0]] == who && board[l[1]] == who && board[l[2]] == who)
				return l;
		return null;
	}

	function finished():Bool {
		for (who in [1, 2]) {
			var l = winner(who);
			if (l != null) {
				win = l;
				over = 100;
				if (who == 1)
					for (i in l)
						Kit.sparkle(this, cells[i].x + 48, cells[i].y + 48, 0xFF5A5F, 8);
				return true;
			}
		}
		if (board.indexOf(0) < 0) {
			over = 60;
			return true;
		}
		return false;
	}

	function robotMove() {
		// win if it can, block the child if it must, else take a free cell
		for (who in [2, 1])
			for (l in lines) {
				var mine = 0, free = -1;
				for (i in l)
					if (board[i] == who) mine++ else if (board[i] == 0) free = i;
				if (mine == 2 && free >= 0) {
					board[free] = 2;
					return;
				}
			}
		if (board[4] == 0 && Kit.rand(2) == 0) {
			board[4] = 2;
			return;
		}
		var free = [for (i in 0...9) if (board[i] == 0) i];
		board[Kit.pick(free)] = 2;
	}

	function tick(_) {
		frame++;
		if (robotTurn > 0 && --robotTurn == 0) {
			robotMove();
			finished();
		}
		if (over > 0 && --over == 0)
			reset();
		var g = marks.graphics;
		g.clear();
		for (i in 0...9) {
			var x = cells[i].x + 48, y = cells[i].y + 48;
			var glow = win != null && win.indexOf(i) >= 0 ? 1 + Math.sin(frame / 3) * 0.15 : 1.0;
			if (board[i] == 1)
				Kit.heart(g, x, y, 30 * glow, 0xFF5A5F);
			else if (board[i] == 2) {
				g.lineStyle(10 * glow, 0x2D9CDB);
				g.drawCircle(x, y, 28 * glow);
				g.lineStyle();
			}
		}
		var rg = robot.graphics;
		rg.clear();
		var bob = Math.sin(frame / 8) * 5;
		rg.beginFill(0x90A4AE);
		rg.drawRoundRect(-30, -30 + bob, 60, 55, 16, 16);
		rg.drawRect(-25, 30, 50, 40);
		rg.endFill();
		rg.lineStyle(3, 0x90A4AE);
		rg.moveTo(0, -30 + bob);
		rg.lineTo(0, -45 + bob);
		rg.lineStyle();
		rg.beginFill(robotTurn > 0 ? 0xFFD23F : 0xE8383D);
		rg.drawCircle(0, -48 + bob, 6);
		rg.endFill();
		rg.beginFill(0xFFFFFF);
		rg.drawCircle(-12, -10 + bob, 8);
		rg.drawCircle(12, -10 + bob, 8);
		rg.endFill();
		rg.beginFill(0x263238);
		rg.drawCircle(-12 + Math.sin(frame / 20) * 3, -10 + bob, 4);
		rg.drawCircle(12 + Math.sin(frame / 20) * 3, -10 + bob, 4);
		rg.endFill();
	}

	static function main() {
		Kit.start(new TicTacToe());
	}
}
